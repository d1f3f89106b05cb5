#pragma once
// Where the pair driver's control program is, and how it is run (Windows).

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "host/pair_control.h"

namespace kovrel {

// setupc.exe beside this program first (a lab may ship it there), then in the driver's usual
// install folders: %ProgramFiles%\com0com, %ProgramFiles(x86)%\com0com.
std::optional<std::filesystem::path> findPairControlProgram();

// Runs `program` from its own folder (it loads its helper library from there), no window, its
// output captured, for at most `waitMs` (installing a driver's device can take a while).
ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      unsigned long waitMs = 120000);

// The control of the pairs through the program found, or one that says what to install.
std::unique_ptr<PairControl> makeSetupcPairControl();

}  // namespace kovrel
