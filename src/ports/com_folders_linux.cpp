// Where COM names live for this user on Linux: numbers given to USB adapters are state that
// must survive a restart (XDG state folder); published names lead to ptys that die with their
// process, so they belong in the runtime folder when the session has one.

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "ports/com_registry.h"

namespace kovrel {

namespace {

std::optional<std::filesystem::path> absoluteFrom(const EnvLookup& env, const char* name) {
  auto value = env(name);
  if (!value || value->empty()) return std::nullopt;
  std::filesystem::path path(*value);
  if (!path.is_absolute()) return std::nullopt;
  return path;
}

}  // namespace

ComFolders comFoldersFromEnvironment(const EnvLookup& env) {
  ComFolders folders;
  std::filesystem::path stateHome;
  if (auto xdgState = absoluteFrom(env, "XDG_STATE_HOME")) {
    stateHome = *xdgState;
  } else if (auto home = absoluteFrom(env, "HOME")) {
    stateHome = *home / ".local" / "state";
  } else {
    stateHome = std::filesystem::temp_directory_path();
  }
  folders.state = stateHome / "kovrel";
  if (auto runtime = absoluteFrom(env, "XDG_RUNTIME_DIR")) {
    folders.links = *runtime / "kovrel";
  } else {
    folders.links = folders.state / "ports";
  }
  return folders;
}

ComFolders systemComFolders() {
  return comFoldersFromEnvironment([](const char* name) -> std::optional<std::string> {
    if (const char* value = std::getenv(name)) return std::string(value);
    // A service started without HOME still has a home in the password database.
    if (std::string_view(name) == "HOME")
      if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return std::string(entry->pw_dir);
    return std::nullopt;
  });
}

int currentProcessId() { return static_cast<int>(getpid()); }

bool ownedByThisUser(const std::filesystem::path& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && st.st_uid == ::getuid();
}

}  // namespace kovrel
