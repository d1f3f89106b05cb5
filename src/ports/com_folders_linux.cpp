// Where COM names live on Linux: numbers given to USB adapters are state that must survive a
// restart, the machine's when its folder takes them (else the user's XDG state folder); published
// names lead to ptys that die with their process, so they belong in this user's runtime folder
// when the session has one.

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
  // The Debian package's folder for what every operator shares (the settings file lives there
  // too); a user outside its group keeps numbers of their own.
  const auto writable = [](const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
  };
  return withMachineNumbers(comFoldersFromEnvironment([](const char* name) -> std::optional<std::string> {
                              if (const char* value = std::getenv(name)) return std::string(value);
                              // A service started without HOME still has a home in the password database.
                              if (std::string_view(name) == "HOME")
                                if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
                                  return std::string(entry->pw_dir);
                              return std::nullopt;
                            }),
                            "/var/lib/kovrel", writable);
}

int currentProcessId() { return static_cast<int>(getpid()); }

bool ownedByThisUser(const std::filesystem::path& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && st.st_uid == ::getuid();
}

}  // namespace kovrel
