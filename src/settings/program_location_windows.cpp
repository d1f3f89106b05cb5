#include <windows.h>

#include <random>
#include <string>

#include "settings/program_location.h"

namespace kovrel {

std::filesystem::path runningProgramFolder() {
  // The path may be longer than MAX_PATH (a folder with the \\?\ prefix): the buffer grows until
  // the whole name fits, which the call shows by not filling it to the last character.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length)).parent_path();
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool folderTakesFiles(const std::filesystem::path& folder) {
  // Only a real attempt tells: ACLs decide, not the read-only attribute. A 64-bit program is
  // never redirected into the VirtualStore, so a refused folder answers "access denied". The
  // probe disappears when its handle closes.
  if (folder.empty()) return false;
  std::random_device random;
  const std::filesystem::path probe = folder / (L".kovrel-" + std::to_wstring(random()) + L".tmp");
  const HANDLE handle = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

std::filesystem::path installedDefaultFolder(const std::filesystem::path& programFolder) {
  return programFolder;
}

std::filesystem::path machineSettingsFolder(const std::filesystem::path&) { return {}; }

}  // namespace kovrel
