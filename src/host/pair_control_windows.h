#pragma once
// Where the pair driver's control program is, and how it is run (Windows).

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "host/pair_control.h"

namespace kovrel {

// The system's program folders, as the system names them (known folders, never the
// environment, which any program the operator runs could set): Program Files, then its 32-bit
// sibling. Only an administrator may write there.
std::vector<std::filesystem::path> systemProgramFolders();

// com0com\setupc.exe in the first of `folders` that has it. Never this program's own folder: a
// per-user install is writable by whatever the operator runs, and the control program is started
// with an administrator's rights.
std::optional<std::filesystem::path> findPairControlProgram(
    const std::vector<std::filesystem::path>& folders);

// Runs `program` from its own folder (it loads its helper library from there), no window, its
// output captured, for at most `waitMs`. For the quick commands that need no rights (listing).
ProgramRun runProgram(const std::filesystem::path& program, const Args& args, unsigned long waitMs = 10000);

// Starts `program` from its own folder, no window, with administrator rights for this run only:
// the system asks the operator's consent. The check answers nothing while it runs, then its exit
// code (no output: an elevated program's cannot be captured); a refused consent is `needsAdmin`.
RunCheck startElevated(const std::filesystem::path& program, const Args& args);

// The control of the pairs through the program found in the system's program folders, or one
// that says what to install.
std::unique_ptr<PairControl> makeSetupcPairControl();

}  // namespace kovrel
