#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "host_line.h"

namespace kovrel::tools {
namespace {

int connectOnce(const std::string& address, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int looked = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (looked != 0) {
    error = address + ": " + ::gai_strerror(looked);
    return -1;
  }
  int fd = -1;
  for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      error = address + ":" + std::to_string(port) + ": " + std::strerror(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

int acceptOne(int port, std::string& error) {
  static int listening = -1;  // kept for the next connection after a close-mid
  if (listening < 0) {
    listening = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listening, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listening, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listening, 1) != 0) {
      error = "127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
      ::close(listening);
      listening = -1;
      return -1;
    }
  }
  const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) error = std::string("accept: ") + std::strerror(errno);
  return fd;
}

}  // namespace

std::unique_ptr<HostLine> HostLine::tcp(const std::string& address, int port, int waitSeconds,
                                        std::string& error) {
  int fd = -1;
  if (address.empty()) {
    fd = acceptOne(port, error);
  } else {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    while ((fd = connectOnce(address, port, error)) < 0 && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  if (fd < 0) return nullptr;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  // Non-blocking like the serial line: read() answers 0 when nothing waits.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<HostLine>(new HostLine(fd));
}

}  // namespace kovrel::tools
