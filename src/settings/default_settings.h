#pragma once
// The calibration of the trac_conf.cfg installed with the program: a plausible arm that the
// tracer's own header corrects on the first read. Simulators and tests share these figures so
// that a simulated tracer and a fresh installation agree.
//
// The arm: 60 mm long, swinging through a 52 mm chord from its innermost position 8 mm off the
// turntable centre. The radius channel reads 150 counts there, so the travel is 4095 - 150 counts
// and the needle reaches about 59 mm at the end of it; a 25 mm lens reads about 1410 counts.

#include <string_view>

namespace kovrel {

struct DefaultCalibration {
  static constexpr double midaradi = 60.0;               // feeler arm length, mm
  static constexpr double obertura_brac = 52.0;          // chord of the full travel, mm
  static constexpr double radi_central = 8.0;            // mm from the centre at the innermost position
  static constexpr double polsoseix = 150.0;             // counts at the innermost position
  static constexpr double polsosini = 4050.0;            // counts at the start of the travel
  static constexpr double carrera = 4095.0 - polsoseix;  // counts of the full travel
  // 2 * asin(obertura_brac / 2 / midaradi) / carrera, radians per count. The arcsine cannot be
  // evaluated at compile time, so the figure is written out; a test holds it to the formula.
  static constexpr double grausperpols = 2.272183198881781e-4;
  static constexpr double angleplus = 0.0;  // radians
  static constexpr int filterscope = 3;
  static constexpr int comport1 = 3;  // tracer's COM number
  static constexpr int comport2 = 5;  // virtual port offered to the host
  static constexpr int calibra_centre = 0;
  static constexpr int cicle_calibracio = 0;
  static constexpr double OffsetMida = 0.0;      // mm
  static constexpr int primera_instalacio = 10;  // ports set up: start-up opens the virtual port
};

// Folder written under [PATH] in the file shipped with the installer; a running program always
// writes its own folder there.
inline constexpr std::string_view kDefaultProgramFolder = "/opt/kovrel";

}  // namespace kovrel
