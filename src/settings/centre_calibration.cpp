#include "settings/centre_calibration.h"

#include <string>

#include "base/number_text.h"

namespace kovrel {

CentreCalibration::CentreCalibration(SharedState& state, Window& window, Configuracio& configuration)
    : s_(state), w_(window), config_(configuration) {}

void CentreCalibration::calibraCentreChk_Click() {
  s_.estic_calibrant = w_.isChecked(Control::calibraCentreChk) ? 1 : 0;
}

void CentreCalibration::nous_valors_centre() {
  const std::string mean = localeNumber(s_.mitja_centre.toNumber(), w_.decimalSeparator());
  if (w_.isChecked(Control::ActualitzaDatoChk)) {
    config_.show(false);
    config_.view().setField(ConfigField::conf_polsos_txt, mean);
    w_.setText(Control::Text1, mean);
    // Each step stops the chain when it could not do its part; the window then stays open with
    // the computed values and says why, so the technician can correct them and save.
    if (config_.conf_carrera_btn_Click() && config_.calc_opols_btn_Click()) config_.Guardar_Click();
  } else {
    w_.setText(Control::Text1, mean);
  }
  w_.setEnabled(Control::cfg_btn, true);
  w_.setEnabled(Control::llegirBtn, true);
}

}  // namespace kovrel
