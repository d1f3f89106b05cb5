// Windows: the true major version decides the administrator notice (Vista and later virtualise
// the program folder), and the virtualised copies live on the drive of the Windows folder.

#include <windows.h>

#include <string>

#include "shell/windows_system.h"
#include "shell/windows_version.h"

namespace kovrel {

std::string obte_versio() { return std::to_string(runningWindowsVersion().major); }

std::optional<std::filesystem::path> systemDriveRoot() {
  std::wstring windows(MAX_PATH, L'\0');
  const UINT length = ::GetSystemWindowsDirectoryW(windows.data(), static_cast<UINT>(windows.size()));
  if (length == 0 || length >= windows.size()) return std::nullopt;
  windows.resize(length);
  return std::filesystem::path(windows).root_path();
}

}  // namespace kovrel
