#pragma once
// The whole chain on real pseudo-terminals: the program's own parts (the window, the tracer
// port over QSerialPort, the host's port on a pty) against the tracer and host simulators run
// as child processes, driven by clicks on the window. Every test has its own program folder and
// its own COM-name folder, so tests can run side by side without seeing each other's ports.

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/kovrel_app.h"
#include "common/oma_file.h"
#include "fake_timer.h"

namespace kovrel::e2e {

namespace fs = std::filesystem;

// How long a wait on the real lines may take before the test gives up (ms). A fast read takes
// milliseconds and a paced one 1.4 s; the margin is for a loaded machine and the sanitizers.
inline constexpr int kWaitMs = 10'000;

inline constexpr int kTracerCom = 3;
inline constexpr int kHostCom = 5;

// Runs the event loop until `done()` holds or the time is up; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = kWaitMs);

// A simulator as a child process: its standard output collected as it comes, lines written to
// its standard input.
class SimProcess {
 public:
  SimProcess(const std::string& program, const QStringList& args);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Waits for `text` anywhere in what the simulator printed.
  bool waitForOutput(std::string_view text, int timeoutMs = kWaitMs);
  void writeLine(std::string_view line);
  // Waits for the simulator to leave by itself.
  bool waitFinished(int timeoutMs = kWaitMs);
  int exitCode() const { return process_.exitCode(); }
  bool running() const { return process_.state() != QProcess::NotRunning; }
  // Asks this child to end (SIGTERM to its own id) and waits; kills it if it does not go.
  void stop();
  // Everything it printed, both streams, for failure messages.
  std::string output() const { return out_ + err_; }

 private:
  QProcess process_;
  std::string out_;
  std::string err_;
};

// A window timer over QTimer that counts its ticks, so a test can let the program's poll run a
// few times without waiting for a fixed time.
class CountingTimer : public Timer {
 public:
  CountingTimer(int intervalMs, int& ticks);
  void start() override;
  void stop() override;
  bool isActive() const override;

 private:
  std::unique_ptr<Timer> inner_;
  int& ticks_;
};

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  struct ProgramOptions {
    int tracerCom = kTracerCom;
    int hostCom = kHostCom;
    bool fakeClock = false;          // the host exchange's clock moved by the test
    bool firstInstallation = false;  // [INST]=1: start-up opens the ports window
    std::function<std::unique_ptr<Timer>(PortsTimer)> makePortsTimer = {};
  };
  // Installs a settings file with these COM numbers, starts the program and shows its window.
  void startProgram(ProgramOptions options);
  void startProgram() { startProgram(ProgramOptions{}); }

  // The simulators on this test's COM folder, up and published. The tracer gets its COM number,
  // the host its COM number and --quiet.
  std::unique_ptr<SimProcess> startTracer(QStringList args);
  std::unique_ptr<SimProcess> startHost(QStringList args);

  // The read button, then START on the tracer; returns once the read has ended (complete or
  // stopped) — false when it never did.
  bool readShape(SimProcess& tracer);
  // The send button: the lens-type panel opens; once its animation is over, `picture` (one of
  // the dark lens-type pictures) is clicked, which sends.
  void sendChoosing(Control picture);
  // Waits for the send (or any exchange) to end and for the information box to show `text`.
  bool waitForText(std::string_view text, int timeoutMs = kWaitMs);

  void click(Control c);
  std::string text(Control c) const { return app_->window().text(c); }
  bool enabled(Control c) const { return app_->window().isEnabled(c); }
  KovrelApp& app() { return *app_; }
  SharedState& state() { return app_->state(); }

  // A file in this test's folder.
  fs::path file(const std::string& name) const { return root_ / name; }
  // The trace a host simulator saved with --save.
  static OmaTrace savedTrace(const fs::path& path);

  fs::path root_;           // everything of this test
  fs::path programFolder_;  // the program and its trac_conf.cfg
  std::unique_ptr<KovrelApp> app_;
  testing::FakeClock* clock_ = nullptr;  // only with ProgramOptions::fakeClock
  int pollTicks_ = 0;
  int quits_ = 0;
  std::vector<std::pair<std::string, std::string>> messages_;  // text, title
};

}  // namespace kovrel::e2e
