#pragma once
// A folder the system names (Program Files, ProgramData), asked of the shell rather than read
// from environment variables that any program the operator runs may set.

#include <windows.h>
// After windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <filesystem>
#include <optional>

namespace kovrel {

// Nothing when the system cannot say.
std::optional<std::filesystem::path> knownFolder(REFKNOWNFOLDERID id);

}  // namespace kovrel
