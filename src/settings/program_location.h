#pragma once
// The program folder: the folder that holds the running program, where trac_conf.cfg lives. It
// is asked of the system, never taken from the working folder or the command line, so a program
// started from a shortcut or another folder still finds its own settings.

#include <filesystem>

namespace kovrel {

// Empty when the system cannot say.
std::filesystem::path runningProgramFolder();

}  // namespace kovrel
