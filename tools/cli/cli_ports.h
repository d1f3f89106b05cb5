#pragma once
// `kovrel-cli ports`: the COM numbers the program sees, and moving a USB adapter's saved number,
// for the service technician setting up a PC where the tracer's adapter landed on a number the
// program cannot use (above COM15, or one of COM1 to COM6 that the host's port needs).

#include <iosfwd>
#include <string>
#include <vector>

#include "ports/com_registry.h"

namespace kovrel::cli {

// `args` are the arguments after "ports": nothing (list), "renumber COMa COMb", or "--help".
// Returns the exit status.
int runPorts(const std::vector<std::string>& args, const ComFolders& folders, std::ostream& out,
             std::ostream& err);

std::string portsUsage();

// The same over this system's own ports: the COM-name layer's folders on Linux, the serial-port
// key on Windows (where numbers are moved in the system's device manager, not here).
int runSystemPorts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kovrel::cli
