#pragma once
// kovrel-cli as a function: arguments in, output and messages out, an exit status back. The
// executable only hands it the process's streams; the tests call it directly.

#include <iosfwd>
#include <string>
#include <vector>

namespace kovrel::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;  // the program stopped the read or the send
inline constexpr int kExitUsage = 2;    // a mistake on the command line or an unreadable file

// `args` are the arguments after the program name; `in` is read for the STREAM "-".
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace kovrel::cli
