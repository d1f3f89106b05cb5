#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host_line.h"

namespace kovrel::tools {

std::unique_ptr<HostLine> HostLine::open(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    error = path + " is not a serial line: " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    error = path + ": cannot set raw 8N1: " + std::strerror(errno);
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<HostLine>(new HostLine(fd));
}

HostLine::~HostLine() { close(); }

void HostLine::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

long HostLine::read(std::uint8_t* into, std::size_t max) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::read(fd_, into, max);
    if (n > 0) return static_cast<long>(n);
    // A raw, non-blocking line with nothing waiting fails with EAGAIN; end of file means the
    // program closed its side and the line hung up.
    if (n == 0) return -1;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;  // EIO: the other side of the line is gone
  }
}

bool HostLine::writeAll(const std::uint8_t* bytes, std::size_t count) {
  while (count > 0 && fd_ >= 0) {
    const ssize_t n = ::write(fd_, bytes, count);
    if (n > 0) {
      bytes += n;
      count -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    return false;
  }
  return count == 0;
}

}  // namespace kovrel::tools
