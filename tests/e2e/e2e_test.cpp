// The program on real lines against the simulators: a lab's frame read and sent to a late host,
// the technician's service functions, and a first installation.

#include <cmath>
#include <map>
#include <sstream>

#include "../geometry/outline_traces.h"
#include "archive/trace_file.h"
#include "base/com_name.h"
#include "base/number_text.h"
#include "base/qt_timer.h"
#include "base/texts.h"
#include "cli_run.h"
#include "common/tracer_stream.h"
#include "e2e_rig.h"
#include "fake_timer.h"
#include "geometry/shape_sizes.h"
#include "ports/port_texts.h"
#include "ports/ports_flow.h"
#include "ports/puertos_window.h"
#include "scanner/serial_port.h"
#include "settings/config_window.h"

namespace kovrel::e2e {
namespace {

namespace tk = toolkit;

OmaTrace omaFile(const std::string& text) {
  OmaTrace trace;
  EXPECT_TRUE(readOmaTrace(text, trace, nullptr)) << text;
  return trace;
}

TEST_F(EndToEnd, realFrameIsReadAndSentToALateHost) {
  const fs::path frame = fs::path(KOVREL_TEST_DATA) / "oma" / "R360_1.oma";
  const tk::Outline outline = outlineFromTrace(omaFile(testing::fileBytes(frame)));
  const QString outlineArg = QString::fromStdString("oma:" + frame.string());
  auto fast = tracer({"--fast", "--outline", outlineArg, "--job", "77", "--record", path("read.bin")});
  ASSERT_TRUE(readShape(*fast)) << fast->output();
  ASSERT_EQ(text(), texts::kReadFinished);
  const std::string sizesShown = app_->window().text(Control::midesLbl);
  EXPECT_EQ(app_->window().text(Control::contadorLectures), "Rev.[77]");
  for (int n = 1; n <= 4095; ++n)  // as finely as one count of the arm allows
    ASSERT_NEAR(state().forma_treball.radius(n), outline(state().forma_treball.angle(n)), tk::countSizeMm({}))
        << "point " << n;

  // The send button opens the lens-type panel; once it has slid up, "same size" sends.
  click(Control::interpola);
  ASSERT_TRUE(waitUntil([&] {
    return app_->window().isVisible(Control::Picture3) && !app_->timer(AppTimer::Timer1).isActive();
  }));
  click(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kNoHostWaiting)) << text();
  EXPECT_FALSE(app_->window().isEnabled(Control::llegirBtn));
  // A host serving on (its port waited for, as a lab's host polls): the read sent twice; each
  // request carries the job number, each answer the label's text.
  auto lab = host({"--wait", "30", "--save", path("got.oma")});
  ASSERT_TRUE(waitUntil([&] { return app_->hostPort().port_obert_host(); }));
  for (int sent = 1; sent <= 2; ++sent, lab->forgetOutput()) {
    click(Control::interpola);
    ASSERT_TRUE(lab->waitFor("answer: JOB=\"Rev.[77]\"") && lab->waitFor("request: JOB=\"77\""))
        << lab->output();
    ASSERT_TRUE(waitForText(texts::kSentOk)) << text() << "\n" << lab->output();
  }
  const std::vector<int> received = omaFile(testing::fileBytes(root_ / "got.oma")).radii;
  ASSERT_TRUE(fast->waitFor("read 1: sent"));
  std::istringstream noInput;
  std::ostringstream cliOut, cliErr;
  ASSERT_EQ(cli::runCli({"oma", (root_ / "read.bin").string()}, noInput, cliOut, cliErr), cli::kExitDone);
  EXPECT_EQ(received, omaFile(cliOut.str()).radii);
  std::vector<double> mm;
  for (int r : received) mm.push_back(r / 100.0);
  testing::expectHostOutline(mm, outline, tk::countSizeMm({}));
  // The sizes shown under the plot since the read are those of the trace the host received.
  const ShapeSizes sent = measureShape(std::vector<double>(received.begin(), received.end()));
  EXPECT_EQ(sizesShown, sizesText(sent, app_->window().decimalSeparator()));
  EXPECT_EQ(app_->window().text(Control::midesLbl), sizesShown);
  app_.reset();  // the program leaves: its port goes, and the host with it
  EXPECT_TRUE(waitUntil([&] { return !lab->running(); }) &&
              lab->waitFor("line lost: the program closed its side"))
      << lab->output();
}

// The technician's service functions on a real line: a centre calibration read from the tracer
// simulator rewrites the arm's calibration in trac_conf.cfg, and the encoder monitor listens to
// the simulator's arm readings on its own port object until a read takes the port.
class ServiceEndToEnd : public EndToEnd {
 protected:
  void openServicePanel() {
    app_->window().setText(Control::Text1, "R3M58T21");
    click(Control::llegirBtn);
    ASSERT_TRUE(app_->window().isVisible(Control::Frame1));
  }
};

void replaceValue(std::string& file, const std::string& tag, const std::string& value) {
  const auto at = file.find(tag + "=");
  ASSERT_NE(at, std::string::npos) << tag;
  file.replace(at, file.find("\r\n", at) - at, tag + "=" + value);
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
  ASSERT_TRUE(waitUntil([&] { return app_->window().text(Control::CalibracioEncoderTxt) != "0"; }));
  const int spread = std::stoi(app_->window().text(Control::CalibracioEncoderTxt));
  EXPECT_TRUE(spread >= 1 && spread <= 4) << spread;

  click(Control::llegirBtn);
  EXPECT_FALSE(app_->window().isChecked(Control::PortEncEstatOpc) || app_->encoderPort().isOpen());
  EXPECT_TRUE(app_->tracerPort().isOpen());
}

// A first installation: two tracer simulators, START on one; the probe picks it, exit saves it.
class FirstInstallation : public EndToEnd {
 protected:
  void SetUp() override {  // [INST]=1: start-up opens the ports window
    prepare();
    std::string content = settingsBytes();
    content.replace(content.find("[INST]=10"), 9, "[INST]=1");
    std::ofstream(settingsPath(), std::ios::binary) << content;
  }
};

TEST_F(FirstInstallation, findsTheTracerThatGotStartAndSavesItsPort) {
  Sim idle(KOVREL_TRACER_SIM, {"--com", "4"}), tracer(KOVREL_TRACER_SIM, {"--com", "9"});
  std::map<PortsTimer, testing::FakeTimer*> timers;  // the test says when 5 s and 7 s are over
  testing::FakeTimer* request = nullptr;             // and when the request's 6 s are
  startProgram([&](KovrelApp::Options& o) {
    o.askOkCancel = [](std::string_view, std::string_view) { return true; };  // "Desea configurar"
    o.makeTimer = [&request](AppTimer which) -> std::unique_ptr<Timer> {
      if (which != AppTimer::Timer3) return std::make_unique<QtTimer>(intervalMs(which));
      auto timer = std::make_unique<testing::FakeTimer>();
      request = timer.get();
      return timer;
    };
    o.makePortsTimer = [&timers](PortsTimer which) -> std::unique_ptr<Timer> {
      auto timer = std::make_unique<testing::FakeTimer>();
      timers[which] = timer.get();
      return timer;
    };
  });

  // Start-up asked for the set-up; 6 s on, the virtual port is up and the search waits for its 5 s.
  ASSERT_NE(request, nullptr);
  request->tick();
  ASSERT_NE(app_->portsWindow(), nullptr);
  PortsFlow& ports = *app_->portsWindow();
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl),
            "Puerto Série Virtual en " + comName(state().comport2));
  timers.at(PortsTimer::Timer2)->tick();
  ASSERT_EQ(ports.setup().error_instrucciones(), kWaitingForStart)
      << ports.window().text(PortsControl::TextLbl);

  idle.writeLine("go");
  EXPECT_TRUE(idle.waitFor("type Enter or 'start' for START, 'quit' to leave")) << idle.output();
  tracer.writeLine("start");
  ASSERT_TRUE(waitUntil([&] { return ports.probe(2).bytesWaiting() > 3; }));
  QTest::mouseClick(ports.window().control(PortsControl::aceptarBtn), Qt::LeftButton);
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl), "...puerto USB Kovrel en COM9");
  timers.at(PortsTimer::Timer3)->tick();
  EXPECT_EQ(text(),
            std::string(texts::kReadyToUse) + std::string(texts::kHostMustUse) + comName(state().comport2));
  EXPECT_TRUE(app_->window().isEnabled(Control::llegirBtn) && app_->window().isEnabled(Control::cfg_btn));
  EXPECT_FALSE(ports.window().isVisible());

  click(Control::sortirBtn);
  const std::string saved = settingsBytes();
  EXPECT_NE(saved.find("[COMM]=9"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[INST]=10"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kovrel::e2e
