// flock on a file of the runtime folder: the lock belongs to the open file, so it goes with the
// last descriptor, which the kernel closes when the process dies.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "shell/instance_lock.h"

namespace kovrel {

InstanceLock::InstanceLock(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::exists(folder, error) && fs::create_directories(folder, error))
    fs::permissions(folder, fs::perms::owner_all, error);
  const fs::path file = folder / "kovrel.lock";
  fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    std::fprintf(stderr, "Kovrel: %s: %s\n", file.c_str(), std::strerror(errno));
    return;
  }
  int result;
  do {
    result = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) return;
  heldElsewhere_ = errno == EWOULDBLOCK;
  if (!heldElsewhere_) std::fprintf(stderr, "Kovrel: %s: %s\n", file.c_str(), std::strerror(errno));
  ::close(fd_);
  fd_ = -1;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace kovrel
