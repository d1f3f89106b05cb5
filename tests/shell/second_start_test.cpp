// A second start as two real processes: this test program is the running copy (the program
// put together on a real pseudo-terminal, its window hidden by automatic mode), the built
// program started again is the second copy. Both find each other through a scratch runtime
// folder, as two starts of one user do.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "../app/gui_test_support.h"
#include "app/kovrel_app.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "host/virtual_port_pty_linux.h"
#include "settings/settings_file.h"
#include "shell/instance_lock.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

bool processEventsUntil(const std::function<bool()>& done) {
  const QDeadlineTimer deadline(5000);
  while (!done() && !deadline.hasExpired()) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class SecondStart : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::guiApplication();
    root = fs::temp_directory_path() / ("kovrel-second-start-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path root;
  fs::path runtime() const { return root / "run"; }
  fs::path links() const { return runtime() / "kovrel"; }
};

TEST_F(SecondStart, leavesAtOnceWithTheSettingsUntouchedAndBringsTheHiddenCopyForward) {
  const fs::path folder = root / "prog";
  fs::create_directories(folder);
  std::ofstream(folder / kSettingsFileName, std::ios::binary) << SettingsFile::defaultFileContent(folder);
  // The program's folder is where it finds its settings: the second copy runs from there.
  fs::copy_file(KOVREL_PROGRAM, folder / "kovrel");

  InstanceLock lock(links());
  ASSERT_FALSE(lock.heldElsewhere());
  ComRegistry registry(ComFolders{root / "sys", "/dev", "/proc", root / "state", links()});
  KovrelApp::Options o;
  o.programFolder = folder;
  o.tracerPort = std::make_unique<testing::FakeSerialPort>();
  o.hostPort = std::make_unique<PtyVirtualPort>(registry);
  o.makeTimer = [](AppTimer) { return std::make_unique<testing::FakeTimer>(); };
  o.quit = [] {};
  o.activatePrevInstance = [&lock] { return lock.heldElsewhere(); };
  KovrelApp first(std::move(o));
  ASSERT_TRUE(first.start());
  first.window().show();
  first.window().hide();  // automatic mode hid it
  const std::string before = bytesOf(folder / kSettingsFileName);

  QProcess second;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime().string()));
  env.insert("XDG_STATE_HOME", QString::fromStdString((root / "state").string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  second.setProcessEnvironment(env);
  QElapsedTimer clock;
  clock.start();
  second.start(QString::fromStdString((folder / "kovrel").string()), {});
  const bool ended =
      second.waitForFinished(15000);  // a copy that could not hand over would wait on its message
  if (!ended) second.kill();
  ASSERT_TRUE(ended);
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(bytesOf(folder / kSettingsFileName), before);
  EXPECT_TRUE(processEventsUntil([&] { return first.window().isVisible(); }));
  EXPECT_TRUE(first.window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  RecordProperty("second copy ms", static_cast<int>(clock.elapsed()));
}

TEST_F(SecondStart, aLockLeftByAKilledCopyDoesNotBlockTheNextStart) {
  fs::create_directories(links());
  const std::string lockFile = (links() / "kovrel.lock").string();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t copy = fork();
  if (copy == 0) {  // a running copy: only calls that are safe after fork
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX) != 0) _exit(1);
    [[maybe_unused]] auto n = ::write(ready[1], "x", 1);
    for (;;) pause();
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  EXPECT_TRUE(InstanceLock(links()).heldElsewhere());

  ::kill(copy, SIGKILL);
  ::waitpid(copy, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(fs::exists(lockFile));  // left behind, and meaningless
  const InstanceLock next(links());
  EXPECT_FALSE(next.heldElsewhere());
  EXPECT_TRUE(InstanceLock(links()).heldElsewhere());  // and it is the next start's now
}

}  // namespace
}  // namespace kovrel
