#include <cstdlib>

#include "files/user_folders.h"

namespace kovrel {
namespace {

std::filesystem::path localAppData() {
  const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
  return local && local[0] ? std::filesystem::path(local) / L"Kovrel" : std::filesystem::path();
}

}  // namespace

std::filesystem::path userSettingsFolder() { return localAppData(); }

// The same folder as the settings: Windows keeps a user's program data together.
std::filesystem::path userDataFolder() { return localAppData(); }

}  // namespace kovrel
