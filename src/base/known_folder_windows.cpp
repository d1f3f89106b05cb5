#include "base/known_folder_windows.h"

namespace kovrel {

std::optional<std::filesystem::path> knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::optional<std::filesystem::path> folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
    folder = std::filesystem::path(path);
  CoTaskMemFree(path);
  return folder;
}

}  // namespace kovrel
