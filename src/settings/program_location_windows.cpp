#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <random>
#include <string>

#include "base/known_folder_windows.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

// Windows compares names without regard to case.
std::wstring folded(const std::filesystem::path& path) {
  std::wstring text = path.lexically_normal().native();
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
  while (!text.empty() && text.back() == L'\\') text.pop_back();
  return text;
}

// Under Program Files: the administrators' folder of a per-machine installation. Even where this
// process may write there (elevated, or under Wine), an upgrade or another operator's copy would
// meet a file that is not theirs, so the settings go to the machine's settings folder instead.
bool underProgramFiles(const std::filesystem::path& folder) {
  for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
    const auto root = knownFolder(id);
    if (!root) continue;
    const std::wstring r = folded(*root), f = folded(folder);
    if (!r.empty() && f.size() > r.size() && f.compare(0, r.size(), r) == 0 && f[r.size()] == L'\\')
      return true;
  }
  return false;
}

}  // namespace

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
  if (folder.empty() || underProgramFiles(folder)) return false;
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

// The per-machine installation's settings folder, which its installer makes writable by the PC's
// users; it takes files only where that installer made it.
std::filesystem::path machineSettingsFolder(const std::filesystem::path&) {
  const auto data = knownFolder(FOLDERID_ProgramData);
  return data ? *data / L"Kovrel" : std::filesystem::path();
}

}  // namespace kovrel
