#pragma once
// The tracer's port on Windows: Win32 calls on a COM port, polled on the window timer by
// PolledSerialPort. QSerialPort waits for the driver to signal received bytes, and that signal
// never comes under Wine for a COM port over a pty; asking the driver on each tick what waits
// (ReadFile with timeouts that return at once) works on a real Windows PC and under Wine alike.

#include <memory>

#include "scanner/polled_serial_port.h"

namespace kovrel {

// COM ports by number ("\\.\COMn", so numbers above 9 open too), opened exclusively, raw, no flow
// control, reads that return at once with what waits.
std::unique_ptr<ComDevice> win32ComDevice();

}  // namespace kovrel
