// Linux: a program's settings are the user's to write, so nothing needs to be started as
// administrator and nothing is virtualised.

#include "shell/windows_system.h"

namespace kovrel {

// Answered as the systems before the notice, so port set-up and the general offset open
// straight away.
std::string obte_versio() { return "5"; }

std::optional<std::filesystem::path> systemDriveRoot() { return std::nullopt; }

}  // namespace kovrel
