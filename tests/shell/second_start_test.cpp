// Starts as real processes on a scratch runtime folder: the built program asked to end (its port
// goes) and killed (its names stay), this program as the running copy on a pty, the built one again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "../app/gui_test_support.h"
#include "app/kovrel_app.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "file_bytes.h"
#include "host/virtual_port_pty_linux.h"
#include "settings/settings_file.h"
#include "shell/instance_lock.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;

QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

TEST(SecondStart, staleLockOfAKilledCopyDoesNotBlockAndASecondStartBringsTheHiddenCopyForward) {
  testing::guiApplication();
  const fs::path root = fs::temp_directory_path() / ("kovrel-second-start-" + std::to_string(getpid()));
  const fs::path folder = root / "prog", links = root / "run" / "kovrel";  // $XDG_RUNTIME_DIR/kovrel
  fs::remove_all(root);
  fs::create_directories(folder);
  std::ofstream(folder / kSettingsFileName, std::ios::binary) << SettingsFile::defaultFileContent(folder);
  fs::copy_file(KOVREL_PROGRAM, folder / "kovrel");  // it finds its settings beside itself
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", text(root / "run"));
  env.insert("XDG_STATE_HOME", text(root / "state"));
  QProcess asked;  // a question on the command line is answered, and the program goes no further
  asked.setProcessEnvironment(env), asked.start(text(folder / "kovrel"), {"--help"});
  ASSERT_TRUE(asked.waitForFinished(10000));
  EXPECT_TRUE(asked.readAllStandardOutput().startsWith("Uso: kovrel") && !fs::exists(links));

  QProcess ended;  // asked to end by the system (a logout): its port goes with it
  ended.setProcessEnvironment(env);
  ended.start(text(folder / "kovrel"), {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::is_symlink(links / "COM5"); }, 10000));
  ended.terminate();
  ASSERT_TRUE(ended.waitForFinished(10000));
  EXPECT_FALSE(fs::is_symlink(links / "COM5") || ended.readAllStandardError().contains("wake-up"));

  QProcess killed;  // a copy that runs until killed: its lock file and port name stay behind
  killed.setProcessEnvironment(env);
  killed.start(text(folder / "kovrel"), {});
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::is_symlink(links / "COM5"); }, 10000));
  killed.kill();
  killed.waitForFinished();

  const InstanceLock lock(links), fresh(root / "new" / "kovrel"), again(root / "new" / "kovrel");
  ASSERT_FALSE(lock.heldElsewhere());
  EXPECT_TRUE(!fresh.heldElsewhere() && again.heldElsewhere());  // a folder not there yet is made
  ComRegistry registry(ComFolders{root / "sys", "/dev", "/proc", root / "state", links});
  KovrelApp::Options o;
  o.programFolder = folder, o.tracerPort = std::make_unique<testing::FakeSerialPort>();
  o.hostPort = std::make_unique<PtyVirtualPort>(registry);
  o.makeTimer = [](AppTimer) { return std::make_unique<testing::FakeTimer>(); };
  o.activatePrevInstance = [&lock] { return lock.heldElsewhere(); };
  KovrelApp first(std::move(o));
  ASSERT_TRUE(first.start());  // its window stays hidden, as automatic mode leaves it
  const std::string before = testing::fileBytes(folder / kSettingsFileName);

  QProcess second;
  second.setProcessEnvironment(env);
  second.start(text(folder / "kovrel"), {});
  ASSERT_TRUE(second.waitForFinished(15000));  // one that could not hand over waits on its message
  EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
  EXPECT_EQ(testing::fileBytes(folder / kSettingsFileName), before);
  EXPECT_TRUE(QTest::qWaitFor([&] { return first.window().isVisible(); }, 10000));
  EXPECT_TRUE(first.window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  fs::remove_all(root);
}

}  // namespace
}  // namespace kovrel
