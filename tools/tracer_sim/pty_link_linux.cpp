#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "pty_link.h"

namespace kovrel::tools {

std::unique_ptr<PtyLink> PtyLink::open(std::string& error) {
  int control = -1;
  int terminal = -1;
  char name[256] = {};
  if (::openpty(&control, &terminal, name, nullptr, nullptr) != 0) {
    error = std::string("openpty: ") + std::strerror(errno);
    return nullptr;
  }
  // Raw 8N1 at the tracer's rate: every byte value passes unchanged (a sample's high byte may
  // be 3, 13, 17 or 19, which a cooked terminal would take for a signal, CR or flow control).
  termios tio{};
  ::tcgetattr(terminal, &tio);
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  ::cfsetispeed(&tio, B57600);
  ::cfsetospeed(&tio, B57600);
  ::tcsetattr(terminal, TCSANOW, &tio);

  const int flags = ::fcntl(control, F_GETFL);
  ::fcntl(control, F_SETFL, flags | O_NONBLOCK);
  ::fcntl(control, F_SETFD, FD_CLOEXEC);
  ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
  return std::unique_ptr<PtyLink>(new PtyLink(control, terminal, name));
}

PtyLink::PtyLink(int control, int terminal, std::string path)
    : control_(control), terminal_(terminal), path_(std::move(path)) {}

PtyLink::~PtyLink() {
  if (control_ >= 0) ::close(control_);
  if (terminal_ >= 0) ::close(terminal_);
}

long PtyLink::write(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return 0;
  for (;;) {
    const ssize_t n = ::write(control_, bytes, count);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

void PtyLink::drain() {
  std::uint8_t buffer[256];
  while (::read(control_, buffer, sizeof buffer) > 0) continue;
}

}  // namespace kovrel::tools

namespace kovrel::tools {

std::size_t PtyLink::unread() const {
  int waiting = 0;
  if (::ioctl(terminal_, FIONREAD, &waiting) != 0 || waiting < 0) return 0;
  return static_cast<std::size_t>(waiting);
}

}  // namespace kovrel::tools
