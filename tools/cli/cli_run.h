#pragma once
// kovrel-cli as a function: arguments in, output and messages out, an exit status back. The
// executable only hands it the process's streams; the tests call it directly.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "links/link_choice.h"
#include "links/make_link.h"

namespace kovrel::cli {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitStopped = 1;  // the program stopped the read or the send
inline constexpr int kExitUsage = 2;    // a mistake on the command line or an unreadable file

// The real links of `send` and the event loop they run on: the Qt part of the executable gives
// them; without them `send` is refused.
struct RealLinks {
  std::function<MadeLink(const LinkChoice&)> make;
  // Runs the event loop until `done()` or `timeoutMs`; returns `done()`.
  std::function<bool(const std::function<bool()>& done, int timeoutMs)> runUntil;
};

// `args` are the arguments after the program name; `in` is read for the STREAM "-".
int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           const RealLinks* links = nullptr);

}  // namespace kovrel::cli
