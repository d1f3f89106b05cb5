// A lab's frame end to end on real lines: the program's own parts (the window, the tracer port
// over QSerialPort, the host's port on a pty) against the tracer and host simulators run as child
// processes, driven by clicks on the window. The tracer streams a real outline, the program reads
// it by its COM name, a send with no host tells the operator, and a host that comes late receives
// exactly what kovrel-cli works out from the same bytes. The test has its own program folder and
// COM-name folder, so it never sees another run's ports.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "../app/gui_test_support.h"
#include "../geometry/outline_traces.h"
#include "app/kovrel_app.h"
#include "app/texts.h"
#include "cli_run.h"
#include "common/oma_file.h"
#include "common/tracer_stream.h"
#include "host/send_command.h"
#include "ports/com_registry.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
namespace tk = toolkit;

// A fast read takes milliseconds and a paced one 1.4 s; the margin is for a loaded machine and
// the sanitizers.
constexpr int kWaitMs = 10'000;

// Runs the event loop until `done()` holds or the time is up; returns `done()`.
bool waitUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(kWaitMs);
  QTimer wake;  // a wait for something that never comes still sees the deadline
  wake.start(10);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

// A simulator as a child process on this test's COM folder, up and published.
class Sim {
 public:
  Sim(const char* program, QStringList args) {
    process_.setProgram(program);
    process_.setArguments(args);
    process_.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                     [this] { out_ += process_.readAllStandardOutput().toStdString(); });
    process_.start();
    EXPECT_TRUE(waitFor("ready:")) << program << ": " << output();
  }
  ~Sim() { stop(); }
  bool waitFor(std::string_view text) {
    waitUntil([&] { return out_.find(text) != std::string::npos || !running(); });
    out_ += process_.readAllStandardOutput().toStdString();  // what a leaving process still had
    return out_.find(text) != std::string::npos;
  }
  void writeLine(std::string_view line) {
    process_.write(QByteArray(line.data(), qsizetype(line.size())) + '\n');
  }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  int exitCode() const { return process_.exitCode(); }
  std::string output() { return out_ + process_.readAllStandardError().toStdString(); }
  void stop() {  // SIGTERM to this child only: it unpublishes its COM name on the way out
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
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kovrel-e2e-" + std::to_string(currentProcessId()));
    fs::remove_all(root_);
    for (const char* folder : {"program", "run", "state"}) fs::create_directories(root_ / folder);
    fs::permissions(root_ / "run", fs::perms::owner_all, fs::perm_options::replace);  // a session's
    // The program, and the simulators started from here, find each other's COM names here only.
    ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
    testing::guiApplication();
    // The installed file names the tracer COM3 and the host's port COM5, as the simulators are.
    std::ofstream(root_ / "program" / kSettingsFileName, std::ios::binary)
        << SettingsFile::defaultFileContent(root_ / "program");
    KovrelApp::Options o;
    o.programFolder = root_ / "program";
    o.quit = [] {};
    app_ = std::make_unique<KovrelApp>(std::move(o));
    app_->window().showMessage = [](std::string_view text, std::string_view) { ADD_FAILURE() << text; };
    ASSERT_TRUE(app_->start());
    app_->window().show();
  }
  void TearDown() override {
    app_.reset();
    fs::remove_all(root_);
  }

  std::unique_ptr<Sim> tracer(QStringList args) {
    return std::make_unique<Sim>(KOVREL_TRACER_SIM, args << "--com"
                                                         << "3");
  }
  std::unique_ptr<Sim> host(QStringList args) {
    return std::make_unique<Sim>(KOVREL_HOST_SIM, args << "--com"
                                                       << "5"
                                                       << "--quiet");
  }
  void click(Control c) { QTest::mouseClick(app_->window().control(c), Qt::LeftButton); }
  std::string text() const { return app_->window().text(Control::Text1); }
  SharedState& state() { return app_->state(); }
  // The read button, then START on the tracer; true once the read has ended.
  bool readShape(Sim& sim) {
    click(Control::llegirBtn);
    if (state().esticCapturant != 1) return false;  // the read did not even start
    sim.writeLine("start");
    return waitUntil([&] { return state().esticCapturant == 0; });
  }
  bool waitForText(std::string_view expected) {
    return waitUntil([&] { return !app_->sendCommand().busy() && text() == expected; });
  }
  QString path(const std::string& name) const { return QString::fromStdString((root_ / name).string()); }

  fs::path root_;
  std::unique_ptr<KovrelApp> app_;
};

OmaTrace omaFile(const std::string& text) {
  OmaTrace trace;
  EXPECT_TRUE(readOmaTrace(text, trace, nullptr)) << text;
  return trace;
}
std::string contentOf(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file, std::ios::binary).rdbuf();
  return text.str();
}

TEST_F(EndToEnd, realFrameIsReadSentToALateHostAndReadAgainAtTheMachinesPace) {
  const fs::path frame = fs::path(KOVREL_TEST_DATA) / "oma" / "R360_1.oma";
  const tk::Outline outline = outlineFromTrace(omaFile(contentOf(frame)));
  const QString outlineArg = QString::fromStdString("oma:" + frame.string());
  auto fast = tracer({"--fast", "--outline", outlineArg, "--job", "77", "--record", path("read.bin")});
  ASSERT_TRUE(readShape(*fast)) << fast->output();
  ASSERT_EQ(text(), texts::kReadFinished);
  EXPECT_EQ(app_->window().text(Control::contadorLectures), "Rev.[77]");
  for (int n = 1; n <= 4095; ++n)  // as finely as one count of the arm allows
    ASSERT_NEAR(state().forma_treball.radius(n), outline(state().forma_treball.angle(n)), tk::countSizeMm({}))
        << "point " << n;
  const TraceTable fastRead = state().forma_treball;

  // The send button opens the lens-type panel; once it has slid up, "same size" sends.
  click(Control::interpola);
  ASSERT_TRUE(waitUntil([&] {
    return app_->window().isVisible(Control::Picture3) && !app_->timer(AppTimer::Timer1).isActive();
  }));
  click(Control::Image_fosca_igual);
  ASSERT_TRUE(waitForText(texts::kNoHostWaiting)) << text();
  EXPECT_FALSE(app_->window().isEnabled(Control::llegirBtn));
  auto lab = host({"--once", "--save", path("got.oma")});
  ASSERT_TRUE(waitUntil([&] { return app_->hostPort().port_obert_host(); }));
  click(Control::interpola);
  ASSERT_TRUE(waitForText(texts::kSentOk)) << text() << "\n" << lab->output();
  ASSERT_TRUE(waitUntil([&] { return !lab->running(); }));
  EXPECT_EQ(lab->exitCode(), 0) << lab->output();
  // The request carries the job number, the answer the label's text.
  EXPECT_NE(lab->output().find("request: JOB=\"77\""), std::string::npos) << lab->output();
  EXPECT_NE(lab->output().find("answer: JOB=\"Rev.[77]\""), std::string::npos) << lab->output();
  const std::vector<int> received = omaFile(contentOf(root_ / "got.oma")).radii;
  ASSERT_TRUE(fast->waitFor("read 1: sent"));
  std::istringstream noInput;
  std::ostringstream cliOut, cliErr;
  ASSERT_EQ(cli::runCli({"oma", (root_ / "read.bin").string()}, noInput, cliOut, cliErr), cli::kExitDone);
  EXPECT_EQ(received, omaFile(cliOut.str()).radii);
  std::vector<double> mm;
  for (int r : received) mm.push_back(r / 100.0);
  testing::expectHostOutline(mm, outline, tk::countSizeMm({}));
  fast->stop();

  // The machine's own pace: the shape grows on screen while the turntable turns, to the same read.
  auto paced = tracer({"--outline", outlineArg});
  bool sawHalfway = false;
  click(Control::llegirBtn);
  ASSERT_EQ(state().esticCapturant, 1);
  paced->writeLine("start");
  ASSERT_TRUE(waitUntil([&] {
    const int progress = app_->window().value(Control::ProgressBar1);
    sawHalfway = sawHalfway || (progress > 1000 && progress < 3000);
    return state().esticCapturant == 0;
  })) << paced->output();
  EXPECT_TRUE(sawHalfway) << "the paced read arrived all at once";
  ASSERT_EQ(text(), texts::kReadFinished);
  EXPECT_TRUE(state().forma_treball == fastRead);
}

}  // namespace
}  // namespace kovrel
