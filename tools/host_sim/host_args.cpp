#include "host_args.h"

#include "common/command_line.h"

namespace kovrel::tools {
using toolkit::toInt;

std::string hostUsage() {
  return R"(kovrel-host-sim: plays the lab's host program on the virtual port.

Usage:
  kovrel-host-sim [options]

Opens the program's virtual port (COM5 by default) raw 8N1 as a host would, waits for the trace
request (FS ... RS GS), checks it, answers ACK, sends its message records ended by GS, reads the
answer and decodes the first radius and the 799 escaped differences into 800 radii.

Options:
  --com N            open the port published as COM N (default 5)
  --device PATH      open PATH instead
  --records N        records in the host's message (default 3)
  --misbehave WHAT   nak | silence | no-gs | many-records | garbage | slow | close-mid
  --timeout S        seconds to wait for the answer after the host's message (default 20)
  --once             leave after one exchange
  --tcp ADDRESS:PORT the program waits for its host on TCP (kovrel-cli send --listen, the ports
                     window's "Red TCP", waiting): connect to it, [::1]:PORT for IPv6
  --tcp-listen PORT  the program connects to its host on TCP: wait for it on 127.0.0.1:PORT
  --wait S           wait up to S seconds for the program to publish its port (default 0)
  --save FILE        save the decoded trace as a plain-text OMA file (TRCFMT=1;800;E;R;D)
  --quiet            do not print the radii
  --window           draw the decoded outline
  --help             this text

Exit status with --once: 0 when the program behaved as a sound program must towards this host
(a good answer; with nak, silence, no-gs or many-records no answer at all; with close-mid the
host closed as asked), 1 otherwise (bad request, bad framing, missing or unexpected answer,
line lost), 2 for a mistake on the command line.
)";
}

std::optional<HostArgs> parseHostArgs(const std::vector<std::string>& args, std::string& error) {
  HostArgs a;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& opt = args[i];
    auto value = [&](std::string& out) { return toolkit::takeValue(args, i, out, error); };
    std::string v;
    if (opt == "--help" || opt == "-h") {
      a.help = true;
    } else if (opt == "--once") {
      a.once = true;
    } else if (opt == "--window") {
      a.window = true;
    } else if (opt == "--quiet") {
      a.quiet = true;
    } else if (opt == "--device") {
      if (!value(a.device)) return std::nullopt;
    } else if (opt == "--save") {
      if (!value(a.savePath)) return std::nullopt;
    } else if (opt == "--tcp" || opt == "--tcp-listen") {
      if (!value(v)) return std::nullopt;
      const std::size_t colon = v.rfind(':');
      if (opt == "--tcp" && (colon == std::string::npos || colon == 0)) {
        error = "--tcp takes ADDRESS:PORT, not '" + v + "'";
        return std::nullopt;
      }
      std::string address = opt == "--tcp" ? v.substr(0, colon) : "";
      if (address.size() > 1 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
      if (!toInt(opt == "--tcp" ? v.substr(colon + 1) : v, a.tcpPort) || a.tcpPort < 1 || a.tcpPort > 65535) {
        error = opt + " takes a port from 1 to 65535, not '" + v + "'";
        return std::nullopt;
      }
      a.tcpAddress = address;
    } else if (opt == "--misbehave") {
      if (!value(v)) return std::nullopt;
      auto m = misbehaviourFromName(v);
      if (!m) {
        error = "unknown misbehaviour '" + v + "'";
        return std::nullopt;
      }
      a.config.misbehaviour = *m;
    } else if (opt == "--com" || opt == "--records" || opt == "--timeout" || opt == "--wait") {
      if (!value(v)) return std::nullopt;
      int n = 0;
      if (!toInt(v, n) || n < 0) {
        error = opt + " takes a whole number, not '" + v + "'";
        return std::nullopt;
      }
      if (opt == "--com") a.com = n;
      if (opt == "--records") a.config.records = n;
      if (opt == "--timeout") a.config.answerTimeout = std::chrono::seconds(n);
      if (opt == "--wait") a.waitSeconds = n;
    } else {
      error = "unknown option '" + opt + "'";
      return std::nullopt;
    }
  }
  if (a.device.empty() && (a.com < 1 || a.com > 255)) {
    error = "--com takes 1 to 255";
    return std::nullopt;
  }
  return a;
}

std::string formatRadii(const std::vector<int>& radii) {
  std::string out;
  for (std::size_t i = 0; i < radii.size(); ++i) {
    out += std::to_string(radii[i]);
    out += (i % 10 == 9 || i + 1 == radii.size()) ? '\n' : ' ';
  }
  return out;
}

}  // namespace kovrel::tools
