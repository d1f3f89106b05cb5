#include "files/user_folders.h"

// Systems the program knows no convention of: no user folder; the settings stay beside the
// program and nothing is archived.
namespace kovrel {

std::filesystem::path userSettingsFolder() { return {}; }
std::filesystem::path userDataFolder() { return {}; }

}  // namespace kovrel
