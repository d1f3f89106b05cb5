#pragma once
// The line to the lab's host program that the trace exchange runs on, whichever the technician
// chose: the virtual serial port, a TCP connection or a folder the host watches. The send sees
// only this; which link it is shows in the main window's port label and nowhere else.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kovrel {

// A link operation that failed. `operatorText`, when not empty, is the Spanish message that tells
// the operator what to mend (a folder that went away); otherwise the send's own message stands.
class HostLinkError : public std::runtime_error {
 public:
  explicit HostLinkError(const std::string& what, std::string operatorText = {})
      : std::runtime_error(what), operatorText_(std::move(operatorText)) {}
  const std::string& operatorText() const { return operatorText_; }

 private:
  std::string operatorText_;
};

class HostLink {
 public:
  virtual ~HostLink() = default;

  // The main window's port label: " COM 5", " TCP 192.168.1.20:5000", " Carpeta".
  virtual std::string label() const = 0;
  // Makes this side ready for a send; throws HostLinkError when the link itself is not there.
  virtual void open() = 0;
  // True while a host is there to take a trace (holds the port, is connected).
  virtual bool present() const = 0;
  // Called once before each request is written.
  virtual void prepare() = 0;
  // Sends the bytes in order.
  virtual void write(const std::vector<std::uint8_t>& bytes) = 0;
  // Received bytes waiting; 0 when none.
  virtual int pending() const = 0;
  // Removes and returns up to `n` waiting bytes, first byte first.
  virtual std::vector<std::uint8_t> read(int n) = 0;
  // True when the host the last request went to has gone since (a connection dropped).
  virtual bool lost() const = 0;

  // Raised on the user-interface thread when bytes have arrived or the host was lost (drives the
  // exchange).
  std::function<void()> onBytesArrived;
  // Raised when what the port label says changes (a host connected or went away).
  std::function<void()> onLabelChanged;
};

}  // namespace kovrel
