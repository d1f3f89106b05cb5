#pragma once
// A plain COM port as the tracer link uses it. The program only listens: it opens the port with
// "57600,N,8,1", reads the bytes that wait, one character per byte, and is told when enough
// bytes have arrived. Errors keep the numbers the operator messages are chosen by.

#include <functional>
#include <string>
#include <string_view>

namespace kovrel {

inline constexpr int kErrNoSuchPort = 8002;  // the COM number does not exist
inline constexpr int kErrPortInUse = 8005;   // another program holds the port
inline constexpr int kErrPortOther = 8015;   // any other failure to open
// The user may not open the device (not in the group that owns it); deniedGroup() names it.
inline constexpr int kErrPortNoPermission = 8020;

inline constexpr std::string_view kTracerLineSettings = "57600,N,8,1";

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens COM `comNumber` with `settings` ("57600,N,8,1"). Returns 0, or kErrNoSuchPort,
  // kErrPortInUse or another error number. Opening an open port reopens it.
  virtual int open(int comNumber, std::string_view settings) = 0;
  virtual bool isOpen() const = 0;
  // After kErrPortNoPermission: the group the user must belong to ("dialout").
  virtual std::string deniedGroup() const { return {}; }
  virtual void close() = 0;

  // Bytes received and not yet read.
  virtual int bytesWaiting() const = 0;
  // Discards every byte received so far.
  virtual void clearInput() = 0;
  // Removes and returns up to `maxChars` waiting bytes, one character per byte (text mode).
  // Returns fewer (or none) when fewer wait; never blocks.
  virtual std::string read(int maxChars) = 0;

  // The receive notification fires once `bytes` or more wait (the threshold is 2 for the tracer).
  virtual void setReceiveThreshold(int bytes) = 0;
  virtual void setDtr(bool on) = 0;

  // Called on the user-interface thread when data has arrived and at least the threshold waits.
  std::function<void()> onReceive;
};

}  // namespace kovrel
