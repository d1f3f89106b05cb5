#pragma once
// What the program takes from the system it runs on. The composition root asks for it here and
// the build picks the file that answers: platform_linux.cpp (the COM-name layer, serial devices
// over QSerialPort, the host's port on a published pseudo-terminal, a lock file for the single
// copy) or platform_windows.cpp (COM ports through Win32 polled on the window timer, the
// serial-port key, a null-modem port pair for the host, a named mutex).

#include <functional>
#include <memory>
#include <vector>

#include "host/virtual_port.h"
#include "ports/com_registry.h"  // SerialCommEntry
#include "scanner/serial_port.h"

namespace kovrel {

class Platform {
 public:
  virtual ~Platform() = default;
  // A serial port on the tracer's side: the reads, the encoder monitor, the START probe, the
  // second copy's signal.
  virtual std::unique_ptr<SerialPort> makeSerialPort() = 0;
  // The port the lab's host opens.
  virtual std::unique_ptr<VirtualPort> makeHostPort() = 0;
  // The system's serial ports as (value name, "COMn") pairs, for the port searches.
  virtual std::vector<SerialCommEntry> serialPorts() = 0;
};

std::unique_ptr<Platform> makePlatform();

// One running copy: held from the program's start to its end, dropped by the system however the
// process ends.
class SingleCopy {
 public:
  virtual ~SingleCopy() = default;
  // True when an earlier copy holds it: this copy hands over and leaves.
  virtual bool heldElsewhere() const = 0;
};

std::unique_ptr<SingleCopy> holdSingleCopy();

}  // namespace kovrel
