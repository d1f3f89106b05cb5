#include <shlobj.h>
#include <windows.h>

#include <string>

#include "shell/users_root.h"

namespace kovrel {

std::filesystem::path usersRoot() {
  wchar_t* known = nullptr;
  if (::SHGetKnownFolderPath(FOLDERID_UserProfiles, 0, nullptr, &known) == S_OK && known != nullptr) {
    std::filesystem::path root(known);
    ::CoTaskMemFree(known);
    return root;
  }
  ::CoTaskMemFree(known);

  std::wstring windows(MAX_PATH, L'\0');
  const UINT length = ::GetWindowsDirectoryW(windows.data(), static_cast<UINT>(windows.size()));
  if (length == 0 || length >= windows.size()) return {};
  windows.resize(length);
  return std::filesystem::path(windows).root_path() / L"Users";
}

}  // namespace kovrel
