#include "base/header.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "base/system_clock.h"
#include "fake_window.h"

namespace kovrel {
namespace {

// A header laid out field by field at the tracer's fixed positions.
std::string headerWith(const std::string& pulses, const std::string& arm, const std::string& chord,
                       const std::string& centre) {
  std::string h = "*  " + pulses + " " + arm + " 123  4 " + chord + " " + centre + " A7B9";
  h.resize(64, ' ');
  return h;
}

struct HeaderRig {
  SharedState state;
  testing::FakeWindow window;
  int saves = 0;

  HeaderRig() {
    window.setChecked(Control::CompSiNoChk, true);
    state.temperatura = 614, state.dades_capsalera = headerWith("1500", "60000", "5200", "800");
  }
  void run() {
    inicialitzar_variables(state, window, [this] { ++saves; });
  }
};

TEST(Header, calibrationAndSerialComeFromTheirPositionsTemperatureIsCompensatedWithinNineCounts) {
  HeaderRig off;  // compensation off
  off.window.setChecked(Control::CompSiNoChk, false);
  off.state.carrera = 3000;
  off.run();
  const SharedState& s = off.state;  // the angle: mantissa 123, two blanks, exponent digit 4
  EXPECT_EQ(std::tie(s.polsoseix, s.midaradi, s.angleplus, s.obertura_brac, s.radi_central),
            std::make_tuple(150.0, 60.0, 123 / 1e5, 52.0, 8.0));
  EXPECT_TRUE(off.window.text(Control::serieLbl) == "A7B9" && off.state.dades_capsalera == "");
  EXPECT_TRUE(off.state.carrera == 3000 && off.saves == 0);  // compensation off: nothing derived or saved
  // The reading, the separator; the counts compensated and the degrees shown; the innermost count.
  for (auto [raw, separator, shown, innermost] : {std::tuple{614, ',', "0 21º", 150.0},
                                                  {634, ',', "-5 30,7º", 145.0},
                                                  {634, '.', "-5 30.7º", 145.0},
                                                  {700, ',', "-21,5 62,9º", 141.0},
                                                  {500, ',', "28,5 -34,7º", 159.0}}) {
    SCOPED_TRACE(raw);
    HeaderRig rig;
    rig.window.separator = separator, rig.state.temperatura = raw;
    rig.run();
    EXPECT_EQ(rig.window.text(Control::AD_temp) + " " + rig.window.text(Control::polsos_temp) + " " +
                  rig.window.text(Control::temp_actual),
              std::to_string(raw) + " " + shown);
    EXPECT_TRUE(rig.state.polsoseix == innermost && rig.state.carrera.toNumber() == 4095 - innermost);
    EXPECT_NEAR(rig.state.grausperpols, 2 * std::asin(52.0 / 120.0) / (4095 - innermost), 1e-18);
    EXPECT_NEAR(rig.state.angle_radi_central.toNumber(), 2 * std::asin(8.0 / 120.0), 1e-15);
    EXPECT_EQ(rig.saves, 1);
  }
}

// A rejected header changes nothing: not the calibration, not the tick, not the file.
TEST(Header, impossibleArmGeometryFailsAndLeavesEverythingAsItWas) {
  const std::pair<const char*, std::string> rows[] = {
      {"blank header: 0/0", "*" + std::string(63, ' ')},
      {"chord over twice the arm", headerWith("1500", "20000", "4100", "800")},
      {"centre at twice the arm", headerWith("1500", " 4000", "0700", "800")},
      {"travel of zero counts", ""}};  // no header, the innermost count at the end of travel
  for (const auto& [name, header] : rows) {
    SCOPED_TRACE(name);
    HeaderRig rig;
    SharedState& s = rig.state;
    s.grausperpols = 2e-4, s.angle_radi_central = 0.13, s.dades_capsalera = header, s.carrera = 3945;
    s.polsoseix = 150, s.midaradi = 60, s.obertura_brac = 52, s.radi_central = 8, s.serial_number = "0042";
    if (header.empty()) rig.window.setChecked(Control::noCapsaleraChk, true), s.polsoseix = 4095;
    const auto calibration = [&] {
      return std::make_tuple(s.polsoseix, s.midaradi, s.angleplus, s.obertura_brac, s.radi_central,
                             s.serial_number, s.carrera.toNumber(), s.grausperpols,
                             s.angle_radi_central.toNumber(), s.offset_temperatura.toNumber(),
                             rig.window.isChecked(Control::CompSiNoChk));
    };
    const auto before = calibration();
    EXPECT_THROW(rig.run(), CalibrationError);
    EXPECT_TRUE(calibration() == before && rig.saves == 0);
  }
}

// The second the send's time-out counts from is 0..59, also before 1970 (a clock never set).
TEST(Clock, theSecondOfAMinuteIsCountedFromTheMinutesStartOnEitherSideOf1970) {
  const std::chrono::system_clock::time_point epoch;
  EXPECT_EQ(secondOfMinute(epoch + std::chrono::seconds(61)), 1);
  EXPECT_EQ(secondOfMinute(epoch - std::chrono::seconds(1)), 59);
  EXPECT_EQ(secondOfMinute(epoch - std::chrono::seconds(120)), 0);  // a minute's start, not 60
}

}  // namespace
}  // namespace kovrel
