// The tracer link over a real pseudo-terminal: the test holds the master (the tracer's end) and
// publishes the slave under a COM name, opened by number as the program opens the adapter.

#include "scanner/serial_port_qt.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "ports/com_registry.h"
#include "qt_event_loop.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::processEventsUntil;
using testing::processPendingEvents;

TEST(TracerDeviceAccess, aUserOutsideTheDevicesGroupIsToldWhichGroupOnlyThen) {
  const group* dialout = ::getgrnam("dialout");
  if (!dialout || ::getuid() != 0) GTEST_SKIP() << "needs root to play a user outside dialout";
  const fs::path device = fs::temp_directory_path() / ("kovrel-ttyUSB-" + std::to_string(::getpid()));
  std::ofstream(device).put('x');
  ASSERT_EQ(::chown(device.c_str(), 0, dialout->gr_gid) | ::chmod(device.c_str(), 0660), 0);
  const pid_t child = ::fork();
  if (child == 0)  // an ordinary user, in no group at all
    ::_exit(::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
                    groupDenyingAccess(device) == "dialout"
                ? 0
                : 1);
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(groupDenyingAccess(device), "");  // allowed
  fs::remove(device);
  EXPECT_EQ(groupDenyingAccess(device), "");  // absent: not a question of groups
}

class TracerPty : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kovrel-serial-" + std::to_string(getpid()));
    fs::remove_all(root_);
    // No real adapters take part: the sysfs folder is empty.
    registry_ = std::make_unique<ComRegistry>(
        ComFolders{root_ / "sys", "/dev", "/proc", root_ / "state", root_ / "links"});
    char name[64] = {};
    int slave = -1;
    ASSERT_EQ(openpty(&master_, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    registry_->publish(3, name, getpid(), PortKind::UsbSerial);
    port_ = std::make_unique<QtSerialPort>([this](int n) { return registry_->resolve(n); });
  }
  void TearDown() override { port_.reset(), pullOut(), fs::remove_all(root_); }
  void pullOut() {  // the tracer's end goes away, as an adapter pulled out
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  fs::path root_;
  std::unique_ptr<ComRegistry> registry_;
  int master_ = -1;
  std::unique_ptr<QtSerialPort> port_;
};

// A capture busy elsewhere when the tracer's last words came in takes them only after the line has
// gone: they must still be offered, and then a dead line raises nothing more.
TEST_F(TracerPty, deviceGoneMidReadStillHandsOverWhatArrivedThenStopsNotifying) {
  std::string taken;
  int calls = 0;
  port_->onReceive = [&] {  // takes nothing while the line lives: a read waiting for more
    ++calls;
    if (port_->deviceLost()) taken += port_->read(2);
  };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  ASSERT_EQ(::write(master_, "***hdr", 6), 6);  // the tracer's last words
  ASSERT_TRUE(processEventsUntil([&] { return port_->bytesWaiting() >= 6; }));
  pullOut();
  ASSERT_TRUE(processEventsUntil([&] { return taken.size() == 6; }));
  EXPECT_EQ(taken, "***hdr");
  processPendingEvents();
  const int seen = calls;
  processPendingEvents();
  EXPECT_EQ(calls, seen);
  EXPECT_EQ(port_->read(1), "");
  port_->close();
  static int complaints = 0;  // a closed line's DTR is left alone, without a word in the log
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++complaints; });
  port_->setDtr(true);
  qInstallMessageHandler(previous);
  EXPECT_EQ(complaints, 0);
  EXPECT_EQ(port_->open(3, kTracerLineSettings), kErrNoSuchPort);               // the name now leads nowhere
  QtSerialPort gone([this](int) { return std::optional(root_ / "ttyUSB9"); });  // gone once resolved
  EXPECT_EQ(gone.open(3, kTracerLineSettings), kErrNoSuchPort);
}

}  // namespace
}  // namespace kovrel
