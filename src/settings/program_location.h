#pragma once
// The program folder: the folder that holds the running program, where trac_conf.cfg lives. It
// is asked of the system, never taken from the working folder or the command line, so a program
// started from a shortcut or another folder still finds its own settings.
//
// An installed program's folder is often not the user's to write (/usr/lib/kovrel from the
// package, Program Files): the installed trac_conf.cfg is then only the machine's default, and
// the file the program reads and writes lives in the user's own settings folder.

#include <filesystem>

#include "files/user_folders.h"  // userSettingsFolder

namespace kovrel {

// Empty when the system cannot say.
std::filesystem::path runningProgramFolder();

// True when the running user may create files in `folder` and it is not a folder the system's
// package manager or a per-machine installation owns (under /usr, /usr/local apart; under
// Program Files): an upgrade would overwrite the file there, even for root or an administrator,
// who may write anywhere.
bool folderTakesFiles(const std::filesystem::path& folder);

// The folder of the machine's default trac_conf.cfg for a program in `programFolder`: beside the
// program, except for the Debian package's (a folder under /usr, /usr/local apart), whose default
// is /etc/kovrel, the file a lab's administrator edits and an upgrade keeps.
std::filesystem::path installedDefaultFolder(const std::filesystem::path& programFolder);

// The folder of the settings every operator of the machine shares (the tracer's calibration and
// ports are the machine's, not a user's): /var/lib/kovrel for the Debian package, writable by the
// group dialout that may use the tracer; on Windows %ProgramData%\Kovrel, which the per-machine
// installer makes writable by the PC's users (elsewhere it is absent and takes no files). Empty
// for any other Linux installation.
std::filesystem::path machineSettingsFolder(const std::filesystem::path& programFolder);

}  // namespace kovrel
