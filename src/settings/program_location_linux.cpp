#include <unistd.h>

#include <string_view>
#include <system_error>

#include "settings/program_location.h"

namespace kovrel {
namespace {

bool isWithin(const std::filesystem::path& folder, const std::filesystem::path& root) {
  const std::filesystem::path relative = folder.lexically_normal().lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

// A folder the system's package manager owns: an upgrade overwrites what is there.
bool packagedFolder(const std::filesystem::path& folder) {
  return isWithin(folder, "/usr") && !isWithin(folder, "/usr/local");
}

}  // namespace

std::filesystem::path runningProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : program.parent_path();
}

bool folderTakesFiles(const std::filesystem::path& folder) {
  if (folder.empty()) return false;
  if (packagedFolder(folder)) return false;
  std::error_code error;
  return std::filesystem::is_directory(folder, error) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::filesystem::path installedDefaultFolder(const std::filesystem::path& programFolder) {
  return packagedFolder(programFolder) ? std::filesystem::path("/etc/kovrel") : programFolder;
}

std::filesystem::path machineSettingsFolder(const std::filesystem::path& programFolder) {
  return packagedFolder(programFolder) ? std::filesystem::path("/var/lib/kovrel") : std::filesystem::path();
}

}  // namespace kovrel
