#include "e2e_rig.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../app/gui_test_support.h"
#include "app/qt_timer.h"
#include "host/send_command.h"
#include "ports/com_registry.h"
#include "settings/settings_file.h"

namespace kovrel::e2e {

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  QTimer wake;  // a wait for something that never comes still sees the deadline
  wake.start(10);
  while (!done()) {
    if (deadline.hasExpired()) return done();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

// ---- simulators -----------------------------------------------------------------------------------

SimProcess::SimProcess(const std::string& program, const QStringList& args) {
  process_.setProgram(QString::fromStdString(program));
  process_.setArguments(args);
  // The environment of this moment: the test's own COM-name folder.
  process_.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
  QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                   [this] { out_ += process_.readAllStandardOutput().toStdString(); });
  QObject::connect(&process_, &QProcess::readyReadStandardError,
                   [this] { err_ += process_.readAllStandardError().toStdString(); });
  process_.start();
  EXPECT_TRUE(process_.waitForStarted(kWaitMs)) << program << ": " << process_.errorString().toStdString();
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::waitForOutput(std::string_view text, int timeoutMs) {
  waitUntil([&] { return out_.find(text) != std::string::npos || !running(); }, timeoutMs);
  out_ += process_.readAllStandardOutput().toStdString();  // what a leaving process still had
  return out_.find(text) != std::string::npos;
}

void SimProcess::writeLine(std::string_view line) {
  process_.write(QByteArray(line.data(), static_cast<qsizetype>(line.size())) + '\n');
}

bool SimProcess::waitFinished(int timeoutMs) {
  const bool finished = waitUntil([&] { return !running(); }, timeoutMs);
  out_ += process_.readAllStandardOutput().toStdString();
  err_ += process_.readAllStandardError().toStdString();
  return finished;
}

void SimProcess::stop() {
  if (!running()) return;
  process_.terminate();  // SIGTERM to this child only: it unpublishes its COM name on the way out
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

// ---- timers ---------------------------------------------------------------------------------------

CountingTimer::CountingTimer(int intervalMs, int& ticks)
    : inner_(std::make_unique<QtTimer>(intervalMs)), ticks_(ticks) {
  inner_->onTick = [this] {
    ++ticks_;
    if (onTick) onTick();
  };
}

void CountingTimer::start() { inner_->start(); }
void CountingTimer::stop() { inner_->stop(); }
bool CountingTimer::isActive() const { return inner_->isActive(); }

// ---- the program ----------------------------------------------------------------------------------

void EndToEnd::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  root_ = fs::temp_directory_path() /
          ("kovrel-e2e-" + std::string(info->name()) + "-" + std::to_string(currentProcessId()));
  fs::remove_all(root_);
  programFolder_ = root_ / "program";
  fs::create_directories(programFolder_);
  fs::create_directories(root_ / "run");
  fs::permissions(root_ / "run", fs::perms::owner_all,
                  fs::perm_options::replace);  // a session's runtime folder
  fs::create_directories(root_ / "state");
  // The program, and the simulators started from here, find each other's COM names in this
  // test's folders only.
  ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (root_ / "state").c_str(), 1);
  testing::guiApplication();
}

void EndToEnd::TearDown() {
  app_.reset();
  fs::remove_all(root_);
}

namespace {

void replaceRecord(std::string& content, const std::string& record, const std::string& by) {
  const auto at = content.find(record);
  ASSERT_NE(at, std::string::npos) << record;
  content.replace(at, record.size(), by);
}

}  // namespace

void EndToEnd::startProgram(ProgramOptions options) {
  std::string content = SettingsFile::defaultFileContent(programFolder_);
  replaceRecord(content, "[COMM]=3", "[COMM]=" + std::to_string(options.tracerCom));
  replaceRecord(content, "[VSPA]=5", "[VSPA]=" + std::to_string(options.hostCom));
  if (options.firstInstallation) replaceRecord(content, "[INST]=10", "[INST]=1");
  std::ofstream(programFolder_ / kSettingsFileName, std::ios::binary) << content;

  KovrelApp::Options o;
  o.programFolder = programFolder_;
  if (options.fakeClock) {
    auto clock = std::make_unique<testing::FakeClock>();
    clock_ = clock.get();
    o.clock = std::move(clock);
  }
  o.makeTimer = [this](AppTimer which) -> std::unique_ptr<Timer> {
    if (which == AppTimer::Poll) return std::make_unique<CountingTimer>(intervalMs(which), pollTicks_);
    return std::make_unique<QtTimer>(intervalMs(which));
  };
  o.makePortsTimer = options.makePortsTimer;
  o.quit = [this] { ++quits_; };
  app_ = std::make_unique<KovrelApp>(std::move(o));
  app_->window().showMessage = [this](std::string_view text, std::string_view title) {
    messages_.emplace_back(std::string(text), std::string(title));
  };
  ASSERT_TRUE(app_->start());
  app_->window().show();
  QApplication::processEvents();
  EXPECT_TRUE(messages_.empty()) << messages_.front().first;
}

std::unique_ptr<SimProcess> EndToEnd::startTracer(QStringList args) {
  args << "--com" << QString::number(kTracerCom);
  auto sim = std::make_unique<SimProcess>(KOVREL_TRACER_SIM, args);
  EXPECT_TRUE(sim->waitForOutput("ready:")) << sim->output();
  return sim;
}

std::unique_ptr<SimProcess> EndToEnd::startHost(QStringList args) {
  args << "--com" << QString::number(kHostCom) << "--quiet";
  auto sim = std::make_unique<SimProcess>(KOVREL_HOST_SIM, args);
  EXPECT_TRUE(sim->waitForOutput("ready:")) << sim->output();
  return sim;
}

bool EndToEnd::readShape(SimProcess& tracer) {
  click(Control::llegirBtn);
  if (state().esticCapturant != 1) return false;  // the read did not even start
  tracer.writeLine("start");
  return waitUntil([&] { return state().esticCapturant == 0; });
}

void EndToEnd::sendChoosing(Control picture) {
  click(Control::interpola);
  EXPECT_TRUE(waitUntil([&] {
    return app_->window().isVisible(Control::Picture3) && !app_->timer(AppTimer::Timer1).isActive();
  })) << "the lens-type panel did not open";
  click(picture);
}

bool EndToEnd::waitForText(std::string_view expected, int timeoutMs) {
  return waitUntil([&] { return !app_->sendCommand().busy() && text(Control::Text1) == expected; },
                   timeoutMs);
}

void EndToEnd::click(Control c) { QTest::mouseClick(app_->window().control(c), Qt::LeftButton); }

OmaTrace EndToEnd::savedTrace(const fs::path& path) {
  std::stringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  OmaTrace trace;
  std::string why;
  EXPECT_TRUE(readOmaTrace(bytes.str(), trace, &why)) << path << ": " << why;
  return trace;
}

}  // namespace kovrel::e2e
