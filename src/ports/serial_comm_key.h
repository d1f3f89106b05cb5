#pragma once
// The system's list of serial ports on Windows: the values of the key SERIALCOMM (full name
// below, under HKEY_LOCAL_MACHINE), which every serial driver fills while its port is present.
// The port search and the free-number search read it as (value name, data) pairs,
// ("\Device\VCP0", "COM3"), exactly as they read the COM-name layer's imitation of it on Linux.

#include <optional>
#include <string_view>
#include <vector>

#include "ports/com_registry.h"  // SerialCommEntry

namespace kovrel {

inline constexpr std::string_view kSerialCommKey = R"(HARDWARE\DEVICEMAP\SERIALCOMM)";

// The values of `subKey` under HKEY_LOCAL_MACHINE, in the registry's order, read only. Values
// that are not text are skipped. Nothing when the key cannot be opened: a machine that has never
// had a serial port has no such key, which the searches take as an empty list.
std::optional<std::vector<SerialCommEntry>> readSerialCommKey(std::string_view subKey = kSerialCommKey);

}  // namespace kovrel
