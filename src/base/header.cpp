#include "base/header.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/number_text.h"
#include "base/texts.h"

namespace kovrel {
namespace {

// Fixed places of the tracer's header (1-based positions, character counts).
constexpr int kPulsesAt = 4, kPulsesLen = 4;       // polsoseix, tenths of a count
constexpr int kArmAt = 9, kArmLen = 5;             // midaradi, thousandths of a mm
constexpr int kMantissaAt = 15, kMantissaLen = 3;  // angleplus mantissa
constexpr int kExponentAt = 20, kExponentLen = 1;  // angleplus exponent digit
constexpr int kChordAt = 22, kChordLen = 4;        // obertura_brac, hundredths of a mm
constexpr int kCentreAt = 27, kCentreLen = 3;      // radi_central, hundredths of a mm
constexpr int kSerialAt = 31, kSerialLen = 4;      // serial number, as text

// The temperature at which the arm's counts need no correction, in raw units of the tracer.
constexpr double kNeutralTemperature = 614.0;
// Compensation never moves the innermost count by more than this many counts either way.
constexpr double kMaxCompensation = 9.0;
constexpr double kFullTravelCounts = 4095.0;

std::string_view field(std::string_view header, int firstPosition, int count) {
  const auto first = static_cast<std::size_t>(firstPosition - 1);
  if (first >= header.size() || count <= 0) return {};
  return header.substr(first, static_cast<std::size_t>(count));
}

}  // namespace

double arcsinChecked(double x) {
  // Written so that NaN (a zero arm length gives 0/0) fails as well as |x| >= 1.
  if (!(std::abs(x) < 1.0)) throw CalibrationError("arm geometry out of range for arcsin");
  return std::atan(x / std::sqrt(1.0 - x * x));
}

double headerField(std::string_view header, int firstPosition, int count) {
  return readNumber(field(header, firstPosition, count), true);
}

void inicialitzar_variables(SharedState& state, Window& window, const std::function<void()>& save) {
  const bool noHeader = window.isChecked(Control::noCapsaleraChk);
  const bool compensate = window.isChecked(Control::CompSiNoChk);
  const std::string_view header = state.dades_capsalera;

  // Everything is worked out before anything is stored: a header whose arm geometry fails the
  // check leaves the calibration, the tick and the settings file as they were, so the next read
  // (with or without a header) is not stuck with an impossible arm.
  double polsoseix = state.polsoseix;
  double midaradi = state.midaradi;
  double angleplus = state.angleplus;
  double obertura_brac = state.obertura_brac;
  double radi_central = state.radi_central;
  std::string serial(texts::kNoHeaderSerial);
  if (!noHeader) {
    polsoseix = headerField(header, kPulsesAt, kPulsesLen) / 10.0;
    midaradi = headerField(header, kArmAt, kArmLen) / 1000.0;
    const double mantissa = headerField(header, kMantissaAt, kMantissaLen);
    const double exponent = headerField(header, kExponentAt, kExponentLen);
    angleplus = mantissa / std::pow(10.0, exponent + 1.0);
    obertura_brac = headerField(header, kChordAt, kChordLen) / 100.0;
    radi_central = headerField(header, kCentreAt, kCentreLen) / 100.0;
    serial = std::string(field(header, kSerialAt, kSerialLen));
  }

  // The arm's counts drift with the tracer's temperature: a quarter count per raw unit.
  const double temperature = state.temperatura.toNumber();
  const double shownOffset = (kNeutralTemperature - temperature) * 0.25;
  double offset = shownOffset;
  double carrera = 0.0, grausperpols = 0.0, angle_radi_central = 0.0;
  if (compensate) {
    offset = std::clamp(offset, -kMaxCompensation, kMaxCompensation);
    if (!noHeader) polsoseix += offset;
    carrera = kFullTravelCounts - polsoseix;
    const double swing = 2.0 * arcsinChecked(obertura_brac / 2.0 / midaradi);
    // A travel of zero counts would give an infinite swing per count and wreck every radius.
    if (carrera == 0.0) throw CalibrationError("arm travel of zero counts");
    grausperpols = swing / carrera;
    angle_radi_central = 2.0 * arcsinChecked(radi_central / 2.0 / midaradi);
  }

  state.polsoseix = polsoseix;
  state.midaradi = midaradi;
  state.angleplus = angleplus;
  state.obertura_brac = obertura_brac;
  state.radi_central = radi_central;
  state.serial_number = serial;
  state.offset_temperatura = offset;
  window.setText(Control::serieLbl, state.serial_number);
  const char separator = window.decimalSeparator();
  window.setText(Control::AD_temp, localeNumber(temperature, separator));
  window.setText(Control::polsos_temp, localeNumber(shownOffset, separator));
  const double celsius = std::floor((21.0 - (kNeutralTemperature - temperature) / 2.048) * 10.0) / 10.0;
  window.setText(Control::temp_actual, localeNumber(celsius, separator) + "º");

  if (compensate) {
    // Without a header there is no fresh innermost count to correct, so compensation is
    // switched off after this read recomputes the arm constants once.
    if (noHeader) window.setChecked(Control::CompSiNoChk, false);
    state.carrera = carrera;
    state.grausperpols = grausperpols;
    state.angle_radi_central = angle_radi_central;
    if (save) save();
  }

  state.dades_capsalera.clear();
}

}  // namespace kovrel
