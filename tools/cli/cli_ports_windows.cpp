#include <iomanip>
#include <ostream>

#include "cli_ports.h"
#include "cli_run.h"
#include "ports/serial_comm_key.h"

namespace kovrel::cli {

std::string portsUsage() {
  return "kovrel-cli ports                        the COM numbers Kovrel sees: number, device\n";
}

int runSystemPorts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (!args.empty()) {
    // Windows keeps an adapter's number itself; the device manager is where it is changed.
    err << "kovrel-cli ports: on Windows, move a port's number in the Device Manager\n";
    return kExitUsage;
  }
  const auto entries = readSerialCommKey();
  out << std::left << std::setw(7) << "COM"
      << "DEVICE\n";
  for (const auto& entry : entries.value_or(std::vector<SerialCommEntry>{}))
    out << std::setw(7) << entry.data << entry.valueName << "\n";
  if (!entries || entries->empty()) out << "(no serial ports)\n";
  return kExitDone;
}

}  // namespace kovrel::cli
