#include "cli_ports.h"

#include <iomanip>
#include <ostream>

#include "cli_run.h"

namespace kovrel::cli {
namespace {

int list(ComRegistry& registry, std::ostream& out) {
  const auto ports = registry.ports();  // first: it gives a new adapter its number
  const auto adapters = registry.adapterNumbers();
  out << std::left << std::setw(7) << "COM" << std::setw(9) << "KIND" << std::setw(21) << "DEVICE"
      << " ADAPTER\n";
  for (const auto& port : ports) {
    std::string identity = "-";
    if (port.published) {
      if (auto pub = registry.publication(port.number))
        identity = "published by process " + std::to_string(pub->ownerPid);
    } else if (auto found = adapters.find(port.number); found != adapters.end()) {
      identity = found->second;
    }
    out << std::setw(7) << comNameOf(port.number) << std::setw(9) << kindText(port.kind) << std::setw(21)
        << port.device.string() << ' ' << identity << "\n";
  }
  if (ports.empty()) out << "(no serial ports)\n";
  return kExitDone;
}

}  // namespace

std::string portsUsage() {
  return "kovrel-cli ports                        the COM numbers Kovrel sees: number, kind, device, "
         "adapter\n"
         "kovrel-cli ports renumber COMa COMb     moves the USB adapter saved as COMa to COMb (refused when\n"
         "                                        COMb is taken); Kovrel takes it at its next port set-up\n";
}

int runPorts(const std::vector<std::string>& args, const ComFolders& folders, std::ostream& out,
             std::ostream& err) {
  ComRegistry registry(folders);
  if (args.empty()) return list(registry, out);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << portsUsage();
    return kExitDone;
  }
  // Both names are taken as plain numbers at once: an optional carried through a conditional
  // leaves GCC's optimiser unsure whether its value was ever set.
  const bool renumber = args.size() == 3 && args[0] == "renumber";
  const std::optional<int> fromName = renumber ? parseComName(args[1]) : std::nullopt;
  const std::optional<int> toName = renumber ? parseComName(args[2]) : std::nullopt;
  if (!fromName.has_value() || !toName.has_value()) {
    err << "kovrel-cli: ports takes nothing, or renumber COMa COMb\n" << portsUsage();
    return kExitUsage;
  }
  const int from = fromName.value_or(0);
  const int to = toName.value_or(0);
  try {
    const auto adapters = registry.adapterNumbers();
    const auto found = adapters.find(from);
    const std::string identity = found != adapters.end() ? found->second : "";
    registry.renumber(from, to);
    out << comNameOf(from) << " (" << identity << ") is now " << comNameOf(to) << "\n";
  } catch (const ComRegistryError& e) {
    err << "kovrel-cli: " << e.what() << "\n";
    return kExitStopped;
  }
  return kExitDone;
}

}  // namespace kovrel::cli
