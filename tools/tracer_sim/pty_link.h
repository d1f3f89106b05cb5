#pragma once
// The simulated tracer's end of its serial line: a pseudo-terminal pair in raw mode. The
// program opens the terminal side exactly as it opens the USB serial adapter of the real
// machine; the simulator writes the machine's bytes into the controlling side.
//
// The simulator keeps the terminal side open itself as well, so the line stays up while the
// program closes and reopens the port between reads, as a plugged-in adapter does.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kovrel::tools {

class PtyLink {
 public:
  // Opens a raw pseudo-terminal at 57600 baud, 8 data bits, no parity, 1 stop bit. Returns
  // nullptr and sets `error` when the system has none to give.
  static std::unique_ptr<PtyLink> open(std::string& error);
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // Path a program opens as the tracer's port ("/dev/pts/7").
  const std::string& devicePath() const { return path_; }
  // Controlling side, non-blocking (for a write notifier).
  int controlFd() const { return control_; }

  // Writes as many bytes as the line takes now. Returns the count taken (0 when the line's
  // buffer is full: nobody is reading), or -1 when the line is gone.
  long write(const std::uint8_t* bytes, std::size_t count);
  // Reads and discards whatever the program wrote towards the machine (it never should).
  void drain();
  // Bytes written and not yet read by the program (they are lost if the line closes now).
  std::size_t unread() const;

 private:
  PtyLink(int control, int terminal, std::string path);
  int control_ = -1;
  int terminal_ = -1;
  std::string path_;
};

}  // namespace kovrel::tools
