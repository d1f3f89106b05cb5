#pragma once
// A second start of the program while a copy runs: it brings the running copy forward and
// leaves. The two copies meet only on the virtual port: the second opens the port's COM name as
// a plain serial port and raises its line, which the running copy takes as its line signal and
// answers by showing its window.

#include <filesystem>
#include <string>

#include "base/shared_state.h"
#include "scanner/serial_port.h"

namespace kovrel {

// ActivatePrevInstance: reads [VSPA] and [INST] of the settings file in `programFolder` (writing
// nothing), opens COM [VSPA] on `port`, raises DTR and closes it; sets Marxar_sense_tocarres = 1
// in every case, so this copy leaves without its closing work. Returns empty when the running
// copy was signalled, else the one message for the operator saying why it could not be.
std::string ActivatePrevInstance(SharedState& state, const std::filesystem::path& programFolder,
                                 SerialPort& port);

}  // namespace kovrel
