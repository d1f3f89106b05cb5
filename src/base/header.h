#pragma once
// The 64-character header the tracer sends at the start of every read carries its calibration:
// arm length, innermost count, step correction, arm chord, centre distance, serial number.
// inicialitzar_variables turns it, and the temperature that follows it, into calibration values.

#include <functional>
#include <stdexcept>
#include <string_view>

#include "base/shared_state.h"
#include "base/window.h"

namespace kovrel {

// An arcsin argument of magnitude 1 or more: the arm geometry in the header is impossible.
class CalibrationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// arcsin computed as arctan(x / sqrt(1 - x*x)), as the calibration always has; throws
// CalibrationError when |x| >= 1 instead of producing NaN.
double arcsinChecked(double x);

// The number of a header field: blanks, tabs and line feeds ignored, the longest leading
// number taken, "." as decimal point; empty or non-numeric gives 0.
double headerField(std::string_view header, int firstPosition, int count);

// Header and temperature to calibration values. Reads `noCapsaleraChk` and `CompSiNoChk` from
// the window (and may untick the latter), shows serial number and temperature texts on the
// service panel, and calls `save` (the settings writer) when compensation is on.
// Throws CalibrationError, with the state, the window and the file untouched, when the arm
// geometry is impossible.
void inicialitzar_variables(SharedState& state, Window& window, const std::function<void()>& save);

}  // namespace kovrel
