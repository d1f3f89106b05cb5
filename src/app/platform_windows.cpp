// Windows: COM ports are the system's own. The tracer's port is read through Win32 calls polled
// on the window timer (see serial_port_windows.h for why not QSerialPort), the port searches
// read the serial-port key, the host opens one end of a null-modem port pair, and a named mutex
// keeps one copy running on the machine.

#include "app/platform.h"
#include "base/qt_timer.h"
#include "base/texts.h"
#include "host/virtual_port_pair_windows.h"
#include "ports/serial_comm_key.h"
#include "scanner/serial_port_windows.h"
#include "shell/running_copy.h"

namespace kovrel {

namespace {

// How often the ports are looked at: the tracer sends 57600 baud (about 5.8 bytes a
// millisecond), so 20 ms gathers about 115 bytes, far within the driver's queue.
constexpr int kPortPollMs = 20;

class WindowsPlatform : public Platform {
 public:
  std::unique_ptr<SerialPort> makeSerialPort() override {
    return std::make_unique<PolledSerialPort>(std::make_unique<QtTimer>(kPortPollMs), win32ComDevice());
  }
  std::unique_ptr<VirtualPort> makeHostPort() override {
    return makePairVirtualPort(std::make_unique<QtTimer>(kPortPollMs));
  }
  std::vector<SerialCommEntry> serialPorts() override {
    return readSerialCommKey().value_or(std::vector<SerialCommEntry>{});
  }
};

class MutexCopy : public SingleCopy {
 public:
  // All sessions of the machine: the ports are the machine's, not a user's.
  MutexCopy() : guard_("Global\\Kovrel") {
    if (!guard_.first()) bringWindowForward(texts::kCaption);
  }
  bool heldElsewhere() const override { return !guard_.first(); }

 private:
  RunningCopyGuard guard_;
};

}  // namespace

std::unique_ptr<Platform> makePlatform() { return std::make_unique<WindowsPlatform>(); }

std::unique_ptr<SingleCopy> holdSingleCopy() { return std::make_unique<MutexCopy>(); }

}  // namespace kovrel
