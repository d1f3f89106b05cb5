#include "shell/second_copy.h"

#include <cmath>

#include "base/com_name.h"
#include "settings/settings_file.h"
#include "shell/shell_texts.h"

namespace kovrel {

std::string ActivatePrevInstance(SharedState& state, const std::filesystem::path& programFolder,
                                 SerialPort& port) {
  state.Marxar_sense_tocarres = 1;
  const std::string why(texts::kAlreadyRunning);
  if (!SettingsFile::peek(programFolder, state)) return why + std::string(texts::kHandOverNoSettings);
  // Without set-up the running copy has no port of its own: the name may then be some other
  // device, whose line must not be touched.
  if (!(state.primera_instalacio == 10)) return why + std::string(texts::kHandOverPortsNotSetUp);
  const double number = state.comport2.isNumeric() ? state.comport2.toNumber() : 0;
  if (number < 1 || number > 255 || number != std::floor(number))
    return why + std::string(texts::kHandOverBadPort) + state.comport2.toText();

  if (port.isOpen()) port.close();
  if (port.open(static_cast<int>(number), kTracerLineSettings) != 0)
    return why + std::string(texts::kHandOverPortFailed) + comName(state.comport2);
  port.setDtr(true);
  port.close();
  return {};
}

}  // namespace kovrel
