// The technician's service functions on a real line: a centre calibration read from the tracer
// simulator rewrites the arm's calibration in trac_conf.cfg, and the encoder monitor listens to
// the simulator's arm readings on its own port object until a read takes the port.

#include <cmath>

#include "e2e_rig.h"
#include "scanner/serial_port.h"
#include "settings/config_window.h"
#include "settings/number_text.h"

namespace kovrel::e2e {
namespace {

class ServiceEndToEnd : public EndToEnd {
 protected:
  void openServicePanel() {
    app_->window().setText(Control::Text1, "R3M58T21");
    click(Control::llegirBtn);
    ASSERT_TRUE(app_->window().isVisible(Control::Frame1));
  }
  std::string shown(Control c) const { return app_->window().text(c); }
};

void replaceValue(std::string& file, const std::string& tag, const std::string& value) {
  const auto at = file.find(tag + "=");
  ASSERT_NE(at, std::string::npos) << tag;
  const auto end = file.find("\r\n", at);
  file.replace(at, end - at, tag + "=" + value);
}

TEST_F(ServiceEndToEnd, aCalibrationReadRewritesTheArmCalibrationAndNothingElse) {
  auto sim = tracer({"--centre", "381", "--spread", "3", "--fast"});
  openServicePanel();
  click(Control::calibraCentreChk);
  click(Control::ActualitzaDatoChk);
  std::string expected = settingsBytes();

  ASSERT_TRUE(readShape(*sim)) << sim->output();
  EXPECT_FALSE(app_->configWindow().isVisible()) << "the save was refused";
  EXPECT_EQ(text(), "381");

  const double travel = 4050 - 381;
  const double x = 52.0 / 2 / 60;
  replaceValue(expected, "[PULS]", writeNumber(381));
  replaceValue(expected, "[CARR]", writeNumber(travel));
  replaceValue(expected, "[GPOL]", writeNumber(2 * std::atan(x / std::sqrt(1 - x * x)) / travel));
  EXPECT_EQ(settingsBytes(), expected);
}

TEST_F(ServiceEndToEnd, theEncoderMonitorShowsTheSpreadUntilAReadTakesThePort) {
  auto sim = tracer({"--encoder", "--centre", "1000", "--spread", "2"});
  openServicePanel();
  click(Control::CentEncBtn);
  ASSERT_TRUE(app_->window().isChecked(Control::PortEncEstatOpc)) << text();
  // Readings within 2 counts of 1000 spread 4 at most; a few hundred of them show more than 0.
  ASSERT_TRUE(waitUntil([&] { return shown(Control::CalibracioEncoderTxt) != "0"; }));
  const int spread = std::stoi(shown(Control::CalibracioEncoderTxt));
  EXPECT_TRUE(spread >= 1 && spread <= 4) << spread;

  click(Control::llegirBtn);
  EXPECT_FALSE(app_->window().isChecked(Control::PortEncEstatOpc));
  EXPECT_FALSE(app_->encoderPort().isOpen());
  EXPECT_TRUE(app_->tracerPort().isOpen());
}

}  // namespace
}  // namespace kovrel::e2e
