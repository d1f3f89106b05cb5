#pragma once
// The end-to-end rig: the program's own parts against the simulators as child processes, driven by
// clicks on the window; each test has its own program and COM-name folders.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "../app/gui_test_support.h"
#include "app/kovrel_app.h"
#include "file_bytes.h"
#include "host/send_command.h"
#include "ports/com_registry.h"
#include "settings/settings_file.h"

namespace kovrel::e2e {

namespace fs = std::filesystem;

// A read takes milliseconds (1.4 s at the machine's pace); the margin is for a loaded machine.
constexpr int kWaitMs = 10'000;

// Runs the event loop until `done()` holds or the time is up; returns `done()`.
inline bool waitUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(kWaitMs);
  QTimer wake;  // a wait for something that never comes still sees the deadline
  wake.start(10);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return done();
}

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

}  // namespace kovrel::e2e
