#pragma once
// The user's own folders, per platform: where the settings of a user outside the machine's group
// live, and where the program keeps what it makes for the user (the archive of reads). Asked of
// the system by the program's composition only; the parts that write there are handed the folder,
// so their tests write into a temporary one.

#include <filesystem>

namespace kovrel {

// The user's own folder for the settings file: $XDG_CONFIG_HOME/kovrel (~/.config/kovrel) on
// Linux, %LOCALAPPDATA%\Kovrel on Windows. Empty when the system cannot say.
std::filesystem::path userSettingsFolder();

// The user's data folder: $XDG_DATA_HOME/kovrel (~/.local/share/kovrel) on Linux,
// %LOCALAPPDATA%\Kovrel on Windows. Empty when the system cannot say.
std::filesystem::path userDataFolder();

}  // namespace kovrel
