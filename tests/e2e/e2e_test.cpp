// The program on real lines against the simulators: a lab's frame read and sent to a late host,
// the technician's service functions, and a first installation. The rig: the program's own parts
// against the simulators as child processes, driven by clicks on the window; each test has its own
// program and COM-name folders.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QProcess>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "../app/gui_test_support.h"
#include "../geometry/outline_traces.h"
#include "app/kovrel_app.h"
#include "archive/trace_file.h"
#include "base/com_name.h"
#include "base/number_text.h"
#include "base/qt_timer.h"
#include "base/texts.h"
#include "cli_run.h"
#include "common/tracer_stream.h"
#include "fake_timer.h"
#include "file_bytes.h"
#include "geometry/shape_sizes.h"
#include "host/send_command.h"
#include "ports/com_registry.h"
#include "ports/port_texts.h"
#include "ports/ports_flow.h"
#include "ports/puertos_window.h"
#include "scanner/serial_port.h"
#include "settings/config_window.h"
#include "settings/settings_file.h"

namespace kovrel::e2e {
namespace {

namespace fs = std::filesystem;

// A read takes milliseconds (1.4 s at the machine's pace); the margin is for a loaded machine.
constexpr int kWaitMs = 10'000;

// Runs the event loop until `done()` holds or the time is up; returns `done()`.
bool waitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }

// A simulator as a child process on this test's COM folder, up and published.
class Sim {
 public:
  Sim(const char* program, const QStringList& args) {
    QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                     [this] { out_ += process_.readAllStandardOutput().toStdString(); });
    process_.start(program, args);  // in this process's environment, with the test's folders
    EXPECT_TRUE(waitFor("ready:")) << program << ": " << output();
  }
  bool waitFor(std::string_view text) {
    waitUntil([&] { return out_.find(text) != std::string::npos || !running(); });
    out_ += process_.readAllStandardOutput().toStdString();  // what a leaving process still had
    return out_.find(text) != std::string::npos;
  }
  void writeLine(std::string_view line) {
    process_.write(QByteArray(line.data(), qsizetype(line.size())) + '\n');
  }
  void signal(int number) const { ::kill(static_cast<pid_t>(process_.processId()), number); }
  void forgetOutput() { out_.clear(); }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  std::string output() { return out_ + process_.readAllStandardError().toStdString(); }
  ~Sim() {  // SIGTERM to this child only: it unpublishes its COM name on the way out
    if (!running()) return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill(), process_.waitForFinished(3000);
  }

 private:
  QProcess process_;
  std::string out_;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { prepare(), startProgram(); }
  // This test's folders, and settings naming the tracer COM3 and the host's port COM5 as the sims do.
  void prepare() {
    root_ = fs::temp_directory_path() / ("kovrel-e2e-" + std::to_string(currentProcessId()));
    fs::remove_all(root_);
    for (const char* folder : {"program", "run", "state"}) fs::create_directories(root_ / folder);
    fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);  // a session's
    // The program, and the simulators started from here, find each other's COM names here only.
    ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    testing::guiApplication();
    std::ofstream(settingsPath(), std::ios::binary) << SettingsFile::defaultFileContent(root_ / "program");
  }
  void startProgram(const std::function<void(KovrelApp::Options&)>& customise = {}) {
    KovrelApp::Options o;
    o.programFolder = root_ / "program";
    o.quit = [] {};
    if (customise) customise(o);
    app_ = std::make_unique<KovrelApp>(std::move(o));
    app_->window().showMessage = [](std::string_view text, std::string_view) { ADD_FAILURE() << text; };
    ASSERT_TRUE(app_->start());
    app_->window().show();
  }
  void TearDown() override { app_.reset(), fs::remove_all(root_); }

  std::unique_ptr<Sim> tracer(const QStringList& args) {
    return std::make_unique<Sim>(KOVREL_TRACER_SIM, args + tracerCom);
  }
  std::unique_ptr<Sim> host(const QStringList& args) {
    return std::make_unique<Sim>(KOVREL_HOST_SIM, args + hostCom);
  }
  void click(Control c) { QTest::mouseClick(app_->window().control(c), Qt::LeftButton); }
  std::string text() const { return app_->window().text(Control::Text1); }
  SharedState& state() { return app_->state(); }
  // The read button, then START on the tracer (its signal); true once the read has ended.
  bool readShape(Sim& sim) {
    click(Control::llegirBtn);
    if (state().esticCapturant != 1) return false;  // the read did not even start
    sim.signal(SIGUSR1);
    return waitUntil([&] { return state().esticCapturant == 0; });
  }
  bool waitForText(std::string_view expected) {
    return waitUntil([&] { return !app_->sendCommand().busy() && text() == expected; });
  }
  fs::path settingsPath() const { return root_ / "program" / kSettingsFileName; }
  std::string settingsBytes() const { return testing::fileBytes(settingsPath()); }
  QString path(const std::string& name) const { return QString::fromStdString((root_ / name).string()); }

  fs::path root_;
  std::unique_ptr<KovrelApp> app_;
  const QStringList tracerCom{"--com", "3"}, hostCom{"--com", "5", "--quiet"};
};

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
  QProcess missing;  // a replay that is not there is told before the tracer is plugged
  missing.start(KOVREL_TRACER_SIM, QStringList{"--replay", path("none.bin")} + tracerCom);
  EXPECT_TRUE(missing.waitForFinished(5000) && missing.readAllStandardError().contains("cannot open"));
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
  auto lab = host({"--wait", "30", "--save", path("got.oma"), "--window"});  // drawing what it got
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
  const auto fake = [](testing::FakeTimer*& kept) -> std::unique_ptr<Timer> {
    auto timer = std::make_unique<testing::FakeTimer>();
    kept = timer.get();
    return timer;
  };
  startProgram([&](KovrelApp::Options& o) {
    o.askOkCancel = [](std::string_view, std::string_view) { return true; };  // "Desea configurar"
    o.makeTimer = [&](AppTimer which) {
      return which == AppTimer::Timer3 ? fake(request) : std::make_unique<QtTimer>(intervalMs(which));
    };
    o.makePortsTimer = [&](PortsTimer which) { return fake(timers[which]); };
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
