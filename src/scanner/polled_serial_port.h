#pragma once
// A serial port that is looked at on a timer rather than waited on: each tick takes what the
// device holds into a buffer and tells the listener while the threshold is met, as the classic
// serial control did by polling. The device itself (open, set up, take what waits, drop the
// input, DTR) is a small seam, so the buffering and notification rules are the same and tested
// the same on every platform; Windows gives it Win32 calls (serial_port_windows.h).

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/timer.h"
#include "scanner/serial_port.h"

namespace kovrel {

// A "57600,N,8,1" text: baud, parity letter (N, E, O, M, S, either case), data bits (5..8),
// stop bits ("1", "1.5", "2"); spaces around a field are allowed. Both tracer ports read it here.
struct SerialLine {
  int baud = 0;
  char parity = 'N';
  int dataBits = 8;
  enum class Stop { One, OneAndHalf, Two } stopBits = Stop::One;
  friend bool operator==(const SerialLine&, const SerialLine&) = default;
};
std::optional<SerialLine> parseSerialLine(std::string_view text);

class ComDevice {
 public:
  virtual ~ComDevice() = default;
  // Opens COM `comNumber` set up as `line`: 0, or kErrNoSuchPort, kErrPortInUse, kErrPortOther.
  virtual int open(int comNumber, const SerialLine& line) = 0;
  virtual void close() = 0;
  // Appends the bytes waiting now to `into` without waiting for more. False when a read failed
  // (what came before it is appended).
  virtual bool takeWaiting(std::string& into) = 0;
  // Clears the line error (framing, overrun) that stops reads: false when the device is gone.
  virtual bool clearError() = 0;
  // Drops what the driver holds and has not handed over yet.
  virtual void purgeInput() = 0;
  virtual void setDtr(bool on) = 0;
};

class PolledSerialPort : public SerialPort {
 public:
  // `poll` ticks while the port is open.
  PolledSerialPort(std::unique_ptr<Timer> poll, std::unique_ptr<ComDevice> device);
  ~PolledSerialPort() override;
  PolledSerialPort(const PolledSerialPort&) = delete;
  PolledSerialPort& operator=(const PolledSerialPort&) = delete;

  int open(int comNumber, std::string_view settings) override;
  bool isOpen() const override { return open_; }
  void close() override;
  int bytesWaiting() const override;
  void clearInput() override;
  std::string read(int maxChars) override;
  void setReceiveThreshold(int bytes) override { threshold_ = bytes; }
  void setDtr(bool on) override;

  // True once the device went away while open: what had arrived can still be read.
  bool deviceLost() const { return lost_; }

 private:
  void onPoll();
  // Takes what the device holds; true when bytes came.
  bool pull() const;
  std::size_t threshold() const { return threshold_ > 0 ? static_cast<std::size_t>(threshold_) : 1; }

  std::unique_ptr<Timer> poll_;
  std::unique_ptr<ComDevice> device_;
  mutable std::string buffer_;
  mutable bool lost_ = false;
  mutable bool fresh_ = false;  // bytes came that the listener was not told of
  std::size_t taken_ = 0;       // bytes read or dropped since the port was made
  bool open_ = false;
  int threshold_ = 0;
  unsigned generation_ = 0;  // bumps on every open and close, so a handler's close is seen
};

}  // namespace kovrel
