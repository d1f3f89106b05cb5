// The configuration window's logic and the centre calibration, on an in-memory window over a
// real trac_conf.cfg in a scratch folder: what the technician sees and what reaches the file.

#include "settings/configuracio.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "base/number_text.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "program_folder.h"
#include "settings/centre_calibration.h"
#include "settings/config_texts.h"
#include "settings/encoder_monitor.h"

namespace kovrel {
namespace {

using enum ConfigField;
using testing::crlf;

class FakeConfigView : public ConfigView {
 public:
  void setField(ConfigField f, std::string_view text) override {
    fields.at(static_cast<std::size_t>(f)) = text;
  }
  std::string field(ConfigField f) const override { return fields.at(static_cast<std::size_t>(f)); }
  void showProblem(std::string_view text) override { problem = text; }
  void open(bool isModal) override { opened = true, modal = isModal; }
  void close() override { opened = false; }
  bool isOpen() const override { return opened; }
  char decimalSeparator() const override { return separator; }

  std::array<std::string, kConfigFieldCount> fields;
  std::string problem;
  bool opened = false, modal = false;
  char separator = ',';
};

std::string fileWith(const std::string& folder, double grausperpols) {
  return crlf({"[INIC]", "[GPOL]=" + writeNumber(grausperpols), "[RADI]= 60", "[COHE]= 0", "[PULS]= 150",
               "; calibrated 2024", "[FILT]=3", "[COMM]=3", "[VSPA]=5", "[RCEN]= 8", "[CARR]= 3945",
               "[PINI]= 3400", "[CCEN]= 0", "[CCAL]= 0", "[OBER]= 52", "[PATH]=" + folder, "[INST]=10",
               "[FINL]"});
}

// A line of the file, from its tag to the end of the line.
std::string line(const std::string& file, std::string_view tag) {
  const auto at = file.find(tag);
  return at == std::string::npos ? "" : file.substr(at, file.find("\r\n", at) - at);
}

class ConfiguracioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write(fileWith(folder.text(), 2.3e-4));
    original = folder.read();
  }

  testing::ProgramFolder folder;
  std::string original;
  SettingsFile settings{folder.path()};
  SharedState s;
  testing::FakeWindow w;
  FakeConfigView view;
  Configuracio config{s, w, view, settings};
};

TEST_F(ConfiguracioTest, opensFromTheFileInTheLocaleAndTheCalculatorsFollowTheArm) {
  for (char separator : {',', '.'}) {
    view.separator = separator;
    s.midaradi = 99;  // changed in memory only: opening brings the file's value back
    // ...except the ports a set-up just gave this session (not yet saved): they stay, and show.
    s.comport1 = 7, s.comport2 = 2, s.primera_instalacio = 1;
    config.show(false);
    EXPECT_EQ(s.midaradi, 60);
    EXPECT_TRUE(s.comport1 == 7 && s.comport2 == 2 && s.primera_instalacio == 1);
    EXPECT_EQ(view.field(com1_conf_txt) + view.field(com2_conf_txt), "72");
    EXPECT_EQ(view.field(conf_graus_txt), std::string("0") + separator + "00023");
    EXPECT_TRUE(view.opened && !view.modal);

    view.setField(conf_polsos_txt, "380");
    ASSERT_TRUE(config.conf_carrera_btn_Click());
    EXPECT_EQ(view.field(conf_carrera_txt), "3020");
    view.setField(obertura_txt, "24"), view.setField(conf_radi_txt, "60");
    view.setField(conf_carrera_txt, "3000");
    ASSERT_TRUE(config.calc_opols_btn_Click());
    double perPulse = 0;
    ASSERT_TRUE(parseLocaleNumber(view.field(conf_graus_txt), separator, perPulse));
    EXPECT_NEAR(perPulse, 0.00013424, 1e-8);

    config.show(true);  // a second request only brings the open window, edits and all, forward
    EXPECT_EQ(view.field(conf_carrera_txt), "3000");
    config.Sortir_Click();  // and nothing of the calculators reaches the settings or the file
    EXPECT_FALSE(view.opened);
    EXPECT_EQ(s.grausperpols, 2.3e-4);
    EXPECT_EQ(folder.read(), original);
  }
}

TEST_F(ConfiguracioTest, aCalculatorOutsideItsDomainSaysWhyAndLeavesTheFieldAsItWas) {
  for (auto [chord, arm, travel, why] : {std::tuple{"24", "0", "3000", "«Radi»"},
                                         {"120", "60", "3000", "«Range»"},
                                         {"-130", "60", "3000", "«Range»"},
                                         {"24", "60", "0", "«INI - FI»"},
                                         {"24", "6x", "3000", "«Radi» no es un número"},
                                         {"2x", "60", "3000", "«Range» no es un número"}}) {
    config.show(false);
    view.setField(obertura_txt, chord), view.setField(conf_radi_txt, arm),
        view.setField(conf_carrera_txt, travel);
    EXPECT_FALSE(config.calc_opols_btn_Click()) << why;
    EXPECT_EQ(view.field(conf_graus_txt), "0,00023") << why;
    EXPECT_NE(view.problem.find(why), std::string::npos) << view.problem;
    view.onClick(ConfigButton::Sortir);
    EXPECT_FALSE(view.opened) << why;
  }
  config.show(false);
  view.setField(conf_radi_txt, "6x"), config.calc_opols_btn_Click();
  view.setField(conf_radi_txt, "60");  // put right: the calculation goes through and the problem goes
  EXPECT_TRUE(config.calc_opols_btn_Click() && view.problem.empty());
  view.setField(conf_polsos_txt, "");
  EXPECT_FALSE(config.conf_carrera_btn_Click());
  EXPECT_EQ(view.field(conf_carrera_txt), "3945");
  EXPECT_EQ(view.problem, "«FI» no es un número: no se puede calcular");
}

TEST_F(ConfiguracioTest, aRefusedSaveNamesTheFieldAndKeepsTheEditsTheSettingsAndTheFile) {
  for (auto [field, typed, problem] :
       {std::tuple{obertura_txt, "0", "«º/p» no puede ser 0: no se ha guardado nada"},
        {filtre_conf_txt, "tres", "«Filtre» no es un número: no se ha guardado nada"}}) {
    config.show(false);
    view.setField(conf_polsos_txt, "381"), view.setField(field, typed);
    config.calc_opols_btn_Click();  // with a Range of 0 the arm turns 0 radians per pulse
    EXPECT_FALSE(config.Guardar_Click());
    EXPECT_EQ(view.problem, problem);
    EXPECT_TRUE(view.opened && view.field(conf_polsos_txt) == "381" && s.polsoseix == 150 && s.comport1 == 3);
    EXPECT_EQ(folder.read(), original);
    config.Sortir_Click();
  }
  // A file that cannot be replaced (a folder stands in its place) keeps the writer's reason.
  config.show(false);
  view.setField(conf_polsos_txt, "381");
  std::filesystem::remove(folder.file());
  std::filesystem::create_directories(folder.file() / "in-the-way");
  EXPECT_FALSE(config.Guardar_Click());
  EXPECT_EQ(view.problem.rfind("No se pudo guardar trac_conf.cfg", 0), 0u) << view.problem;
  EXPECT_TRUE(view.opened && s.polsoseix == 150);
}

TEST_F(ConfiguracioTest, aZeroIsRefusedInEveryRequiredFieldAndOnlyThere) {
  const std::pair<ConfigField, const char*> required[] = {
      {conf_graus_txt, "º/p"},       {conf_radi_txt, "Radi"},        {conf_polsos_txt, "FI"},
      {conf_polsosini_txt, "INI"},   {conf_carrera_txt, "INI - FI"}, {obertura_txt, "Range"},
      {filtre_conf_txt, "Filtre"},   {com1_conf_txt, "com Kovrel"},  {com2_conf_txt, "com OUT"},
      {conf_radCent_txt, "Rad.cen."}};
  for (auto [field, label] : required) {
    config.show(false);
    view.setField(field, "0");
    EXPECT_FALSE(config.Guardar_Click()) << label;
    EXPECT_EQ(view.problem, "«" + std::string(label) + "» no puede ser 0: no se ha guardado nada");
    config.Sortir_Click();
  }
  EXPECT_EQ(folder.read(), original);
  s.primera_instalacio = 0, config.show(false);  // a required value the window does not show
  EXPECT_TRUE(!config.Guardar_Click() && view.problem == texts::kRequiredZero) << view.problem;
  config.Sortir_Click(), s.primera_instalacio = 10;
  for (ConfigField field : {conf_cohere_txt, calibra_centre_txt, cicle_calibracio_txt}) {
    config.show(false);
    view.setField(field, "0");
    EXPECT_TRUE(config.Guardar_Click()) << view.problem;
  }
}

TEST_F(ConfiguracioTest, aSaveWritesReloadsClosesEndsACalibrationAndGivesAHeldTravelBackAsItWas) {
  s.estic_calibrant = 1;
  w.setEnabled(Control::cfg_btn, false);
  config.show(true);
  view.setField(conf_polsos_txt, "151,5");
  view.setField(com2_conf_txt, "7");
  ASSERT_TRUE(config.Guardar_Click()) << view.problem;
  EXPECT_TRUE(!view.opened && s.estic_calibrant == 0 && w.isEnabled(Control::cfg_btn));
  EXPECT_FALSE(w.isVisible(Control::veri_instrument_txt));
  EXPECT_EQ(s.polsoseix, 151.5);
  EXPECT_EQ(line(folder.read(), "[PULS]") + line(folder.read(), "[VSPA]"), "[PULS]= 151.5[VSPA]=7");

  // Numbers held in dynamic values (the travel) read in the operator's form like their neighbours;
  // texts (the ports, the filter) as they are; a save without edits gives the file back unchanged.
  std::string file = folder.read();
  folder.write(file.replace(file.find("[CARR]= 3945"), 12, "[CARR]= 3718.5"));
  for (char separator : {',', '.'}) {
    view.separator = separator;
    config.show(false);
    EXPECT_EQ(view.field(conf_carrera_txt), std::string("3718") + separator + "5");
    EXPECT_EQ(view.field(filtre_conf_txt) + view.field(com2_conf_txt), "37");
    ASSERT_TRUE(config.Guardar_Click()) << view.problem;
    EXPECT_EQ(s.carrera.toNumber(), 3718.5);
    EXPECT_EQ(line(folder.read(), "[CARR]"), "[CARR]= 3718.5");
  }
}

// The applied calibration (three lines of the file rewritten) is walked by the end-to-end run.
TEST_F(ConfiguracioTest, aCalibrationIsOnlyShownWithoutActualizaValorAndARefusedOneStaysOnScreen) {
  folder.write(original.replace(original.find("[COMM]=3"), 8, "[COMM]=0"));
  CentreCalibration calibration(s, w, config);
  s.estic_calibrant = 1, calibration.calibraCentreChk_Click();  // unticked: no calibration
  EXPECT_EQ(s.estic_calibrant, 0);
  w.setChecked(Control::calibraCentreChk, true);
  calibration.calibraCentreChk_Click();
  s.mitja_centre = 381.25;
  calibration.nous_valors_centre();  // "Actualiza valor" unticked: only shown
  EXPECT_TRUE(w.text(Control::Text1) == "381,25" && s.estic_calibrant == 1 && !view.opened);
  EXPECT_EQ(folder.read(), original);

  w.setChecked(Control::ActualitzaDatoChk, true);
  calibration.nous_valors_centre();
  EXPECT_TRUE(view.opened);
  EXPECT_EQ(view.problem, "«com Kovrel» no puede ser 0: no se ha guardado nada");
  EXPECT_EQ(view.field(conf_polsos_txt), "381,25");
  EXPECT_EQ(view.field(conf_carrera_txt), "3018,75");
  view.setField(com1_conf_txt, "3");
  EXPECT_TRUE(config.Guardar_Click());
  EXPECT_EQ(line(folder.read(), "[PULS]"), "[PULS]= 381.25");
}

// The encoder monitor on a fake port and a hand-ticked timer.
using testing::FakeSerialPort;
using testing::FakeTimer;

std::string pairs(std::initializer_list<int> readings) {
  std::string bytes;
  for (int r : readings) bytes += {static_cast<char>(r >> 8), static_cast<char>(r & 0xFF)};
  return bytes;
}

class EncoderMonitorTest : public ::testing::Test {
 protected:
  EncoderMonitorTest() { s.comport1 = "9999"; }  // the highest COM number there is
  std::string shown() const { return w.text(Control::CalibracioEncoderTxt); }
  bool on() const { return w.isChecked(Control::PortEncEstatOpc); }

  SharedState s;
  testing::FakeWindow w;
  FakeSerialPort port;
  FakeTimer timer;
  int beeps = 0;
  EncoderMonitor monitor{s, w, port, timer, {[this] { ++beeps; }}};
};

TEST_F(EncoderMonitorTest, showsTheLargestSpreadOfEachPeriodUntilSwitchedOffAndAPortItCannotHaveIsTold) {
  w.setText(Control::CalibracioEncoderTxt, "E.Calib");
  monitor.CentEncBtn_Click();
  EXPECT_TRUE(on() && timer.active && port.openedCom == 9999 && shown() == "0");

  port.feed(pairs({998, 1003, 1000}));  // one notification for a burst: every pair is taken
  EXPECT_TRUE(shown() == "5" && s.datoEncoder == "1000");

  timer.tick();  // a new period: 1000 then 1001 spread 1, whatever was shown before
  EXPECT_EQ(beeps, 1);
  port.feed(pairs({1000}));
  EXPECT_EQ(shown(), "0");
  port.feed(pairs({1001}));
  EXPECT_EQ(shown(), "1");

  // Out of step: a low byte of 128 or more in front is dropped and never counts as a reading.
  port.feed(std::string(1, static_cast<char>(0x80)) + pairs({1003}));
  EXPECT_EQ(shown(), "3");
  port.feed(std::string(1, '\x03'));  // half a reading waits for its second byte
  EXPECT_EQ(shown(), "3");
  port.feed(std::string(1, '\xE6'));  // 0x03E6 = 998
  EXPECT_EQ(shown(), "5");

  monitor.CentEncBtn_Click();
  EXPECT_FALSE(on() || port.isOpen() || timer.active);
  EXPECT_EQ(shown(), "0");
  EXPECT_EQ(kEncoderPeriodMs, 10000);                        // the spread starts again every ten seconds
  monitor.CentEncBtn_Click(), port.feed(pairs({900, 901}));  // on again mid-period: nothing carried over
  EXPECT_EQ(shown(), "1");
  monitor.CentEncBtn_Click();
  // Capturing, the port's refusal, the COM number; what is told.
  for (auto [capturing, openError, com, why] : {std::tuple{1, 0, "3", texts::kEncoderPortBusyReading},
                                                {0, kErrNoSuchPort, "3", texts::kEncoderPortMissing},
                                                {0, kErrPortInUse, "3", texts::kEncoderPortInUse},
                                                {0, kErrPortOther, "3", texts::kEncoderPortFailed},
                                                {0, 0, "0", texts::kEncoderPortMissing},
                                                {0, 0, "10000", texts::kEncoderPortMissing}}) {
    s.esticCapturant = capturing, port.openError = openError, s.comport1 = com;
    monitor.CentEncBtn_Click();
    EXPECT_FALSE(on() || port.isOpen() || timer.active) << why;
    EXPECT_EQ(w.text(Control::Text1).rfind(why, 0), 0u) << w.text(Control::Text1);
  }
}

}  // namespace
}  // namespace kovrel
