#include "files/atomic_write_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kovrel {
namespace {

WriteOutcome failure(int error) {
  WriteOutcome outcome;
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      outcome.problem = WriteProblem::DiskFull;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      outcome.problem = WriteProblem::NotPermitted;
      break;
    default:
      outcome.problem = WriteProblem::Other;
      break;
  }
  outcome.detail = std::strerror(error);
  return outcome;
}

WriteOutcome abandon(int fd, const std::filesystem::path& temporary, int error) {
  if (fd >= 0) ::close(fd);
  ::unlink(temporary.c_str());
  return failure(error);
}

bool writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::filesystem::path writeTargetOf(const std::filesystem::path& target) {
  return followSymbolicLinks(target);
}

WriteOutcome replaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                                 NewFileAccess access) {
  const std::filesystem::path temporary = temporaryPathFor(target);
  // Owner only, whatever the umask (it can only take bits away), or readable by all as the umask
  // allows; an existing file keeps its own.
  const mode_t mode = access == NewFileAccess::Readable ? 0644 : 0600;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return failure(errno);

  // The new file keeps the permissions the technician gave the old one.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 07777) != 0)
    return abandon(fd, temporary, errno);

  if (!writeAll(fd, bytes) || ::fsync(fd) != 0) return abandon(fd, temporary, errno);
  if (::close(fd) != 0) return abandon(-1, temporary, errno);
  if (::rename(temporary.c_str(), target.c_str()) != 0) return abandon(-1, temporary, errno);

  // The rename itself reaches the disk only with the folder's entry.
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return {};
}

WriteOutcome writeFailureOf(int error) { return failure(error); }

}  // namespace kovrel
