#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "scanner/serial_port_qt.h"

namespace kovrel {

std::string groupDenyingAccess(const std::filesystem::path& device) {
  if (::access(device.c_str(), R_OK | W_OK) == 0 || errno != EACCES) return {};
  struct stat st {};
  if (::stat(device.c_str(), &st) != 0) return {};
  if (const group* owner = ::getgrgid(st.st_gid)) return owner->gr_name;
  return std::to_string(st.st_gid);
}

}  // namespace kovrel
