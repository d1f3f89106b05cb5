#include <cstdlib>

#include "files/user_folders.h"

namespace kovrel {
namespace {

// `variable`/kovrel when it names an absolute folder, else $HOME/`fallback`/kovrel. A relative
// value is invalid and ignored, as the base directory rules ask.
std::filesystem::path xdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return std::filesystem::path(value) / "kovrel";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::filesystem::path(home) / fallback / "kovrel";
  return {};
}

}  // namespace

std::filesystem::path userSettingsFolder() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path userDataFolder() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace kovrel
