#pragma once
// Centre calibration: with the needle on the turntable centre, one read in calibration mode
// gives the mean raw count of the arm's innermost position. With "Actualiza valor" ticked that
// mean becomes "FI" of the configuration window, from which the travel and the angle per pulse
// are computed again and saved; unticked, it is only shown.

#include "base/shared_state.h"
#include "base/window.h"
#include "settings/configuracio.h"

namespace kovrel {

class CentreCalibration {
 public:
  CentreCalibration(SharedState& state, Window& window, Configuracio& configuration);

  // Calibration mode follows the tick of the box.
  void calibraCentreChk_Click();
  // The capture's end of a calibration read: mitja_centre holds the mean raw count.
  void nous_valors_centre();

 private:
  SharedState& s_;
  Window& w_;
  Configuracio& config_;
};

}  // namespace kovrel
