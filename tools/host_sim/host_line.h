#pragma once
// The host's serial line: the COM port it opens as if a tracer were behind it. Raw 8N1, so
// every byte of the exchange (FS, GS, RS, ESC and the binary radius) passes unchanged.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kovrel::tools {

class HostLine {
 public:
  // Opens `path` for reading and writing, non-blocking, and sets it raw 8N1. Returns nullptr
  // and sets `error` when it cannot.
  static std::unique_ptr<HostLine> open(const std::string& path, std::string& error);
  // The host on TCP: connects to the program waiting at `address`:`port`, trying for up to
  // `waitSeconds`; or, with an empty address, waits on 127.0.0.1:`port` for the program to
  // connect (as long as it takes). The socket carries the same bytes as the serial line.
  static std::unique_ptr<HostLine> tcp(const std::string& address, int port, int waitSeconds,
                                       std::string& error);
  ~HostLine();
  HostLine(const HostLine&) = delete;
  HostLine& operator=(const HostLine&) = delete;

  int fd() const { return fd_; }
  // Reads what waits (at most `max` bytes). Returns the count, 0 when nothing waits, -1 when the
  // line is gone (the program closed its side).
  long read(std::uint8_t* into, std::size_t max);
  // Writes every byte, waiting for room when the line is full. False when the line is gone.
  bool writeAll(const std::uint8_t* bytes, std::size_t count);
  void close();

 private:
  explicit HostLine(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace kovrel::tools
