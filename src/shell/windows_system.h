#pragma once
// What the shell asks of the system it runs on, one answer per platform.

#include <filesystem>
#include <optional>
#include <string>

namespace kovrel {

// obte_versio: the system's major version as text. Only the systems that ask for the
// administrator notice answer "6" or more.
std::string obte_versio();

// The root of the drive that holds the system's folder, where the per-user virtualised copies
// of the program folder live; nothing on a system without them.
std::optional<std::filesystem::path> systemDriveRoot();

}  // namespace kovrel
