// The tracer link over a real pseudo-terminal: the test holds the master (the tracer's end) and
// publishes the slave under a COM name, so the port is opened by number exactly as the program
// opens the scanner's adapter.

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

TEST(LineSettingsText, readsBaudParityDataAndStopBitsAndRejectsAnythingElse) {
  auto line = parseLineSettings("57600,N,8,1");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->baud, 57600);
  EXPECT_EQ(line->parity, QSerialPort::NoParity);
  EXPECT_EQ(line->dataBits, QSerialPort::Data8);
  EXPECT_EQ(line->stopBits, QSerialPort::OneStop);
  line = parseLineSettings("9600,e,7,2");
  ASSERT_TRUE(line.has_value());
  EXPECT_EQ(line->parity, QSerialPort::EvenParity);
  EXPECT_EQ(line->dataBits, QSerialPort::Data7);
  EXPECT_EQ(line->stopBits, QSerialPort::TwoStop);
  EXPECT_EQ(parseLineSettings("1200,O,5,1.5")->stopBits, QSerialPort::OneAndHalfStop);
  for (const char* bad : {"", "57600", "57600,N,8", "57600,N,8,1,1", "fast,N,8,1", "0,N,8,1", "57600,X,8,1",
                          "57600,NN,8,1", "57600,N,9,1", "57600,N,4,1", "57600,N,8,3", "57600,N,8,"})
    EXPECT_FALSE(parseLineSettings(bad).has_value()) << bad;
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
    port_ = std::make_unique<QtSerialPort>(resolver());
  }
  void TearDown() override {
    port_.reset();
    pullOut();
    fs::remove_all(root_);
  }
  ComResolver resolver() {
    return [this](int n) { return registry_->resolve(n); };
  }
  void tracerSends(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  bool waitForBytes(int n) {
    return processEventsUntil([&] { return port_->bytesWaiting() >= n; });
  }
  void pullOut() {  // the tracer's end goes away, as an adapter pulled out
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  fs::path root_;
  std::unique_ptr<ComRegistry> registry_;
  int master_ = -1;
  std::unique_ptr<QtSerialPort> port_;
};

TEST_F(TracerPty, everyByteValueArrivesAsOneCharacterAndClearInputDropsWhatWaits) {
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  EXPECT_TRUE(port_->isOpen());
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  tracerSends(all);
  ASSERT_TRUE(waitForBytes(256));
  EXPECT_EQ(port_->read(1), std::string(1, '\0'));
  EXPECT_EQ(port_->read(1000), all.substr(1));
  EXPECT_EQ(port_->bytesWaiting(), 0);
  tracerSends("old");
  ASSERT_TRUE(waitForBytes(3));
  port_->clearInput();
  EXPECT_EQ(port_->bytesWaiting(), 0);
  tracerSends("***");
  ASSERT_TRUE(waitForBytes(3));
  EXPECT_EQ(port_->read(3), "***");
}

// The classic serial control: called while the threshold is met, again for each unit a handler
// takes, and not again for bytes a handler leaves until more arrive.
TEST_F(TracerPty, notificationFollowsTheThresholdAndWhatTheHandlerTakes) {
  int calls = 0, take = 0;
  std::string taken;
  port_->onReceive = [&] {
    ++calls;
    taken += port_->read(take);
  };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("*");
  ASSERT_TRUE(waitForBytes(1));
  processPendingEvents();
  EXPECT_EQ(calls, 0);
  tracerSends("*");
  ASSERT_TRUE(processEventsUntil([&] { return calls > 0; }));
  EXPECT_EQ(port_->bytesWaiting(), 2);
  const int seen = calls;
  processPendingEvents();
  EXPECT_EQ(calls, seen);

  take = 2;
  tracerSends("abcdefg");
  ASSERT_TRUE(processEventsUntil([&] { return taken.size() == 8; }));
  processPendingEvents();
  EXPECT_EQ(taken, "**abcdef");
  EXPECT_EQ(port_->bytesWaiting(), 1);  // one byte is below the threshold: no call for it
}

TEST_F(TracerPty, failedOpensGiveTheOperatorsErrorNumbers) {
  EXPECT_EQ(port_->open(4, kTracerLineSettings), kErrNoSuchPort);
  EXPECT_EQ(port_->open(3, "57600,Q,8,1"), kErrPortOther);
  EXPECT_FALSE(port_->isOpen());
  const fs::path plain = root_ / "plain.txt";
  std::ofstream(plain) << "not a port";
  EXPECT_EQ(QtSerialPort([&](int) { return std::optional(plain); }).open(3, kTracerLineSettings),
            kErrPortOther);
  // An adapter unplugged after the listing: its path is gone.
  EXPECT_EQ(QtSerialPort([&](int) { return std::optional(root_ / "gone"); }).open(3, kTracerLineSettings),
            kErrNoSuchPort);

  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  QtSerialPort second(resolver());
  EXPECT_EQ(second.open(3, kTracerLineSettings), kErrPortInUse);
  EXPECT_FALSE(second.isOpen());
  port_->close();
  EXPECT_EQ(second.open(3, kTracerLineSettings), 0);
}

TEST_F(TracerPty, deviceGoneMidReadKeepsWhatArrivedAndStopsNotifying) {
  int calls = 0;
  port_->onReceive = [&] { ++calls; };  // takes nothing: a read waiting for more
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("***hdr");
  ASSERT_TRUE(waitForBytes(6));
  pullOut();
  ASSERT_TRUE(processEventsUntil([&] { return port_->deviceLost(); }));
  processPendingEvents();
  const int seen = calls;
  processPendingEvents();
  EXPECT_EQ(calls, seen);  // a dead line raises nothing more once its bytes are offered
  EXPECT_EQ(port_->bytesWaiting(), 6);
  EXPECT_EQ(port_->read(3), "***");
  EXPECT_EQ(port_->read(10), "hdr");
  EXPECT_EQ(port_->read(1), "");
  port_->close();
  EXPECT_EQ(port_->open(3, kTracerLineSettings), kErrNoSuchPort);  // the name now leads nowhere
}

TEST_F(TracerPty, bytesThatArrivedBeforeTheLineWentAreStillHandedOver) {
  // A capture that was busy elsewhere when the tracer's last words came in takes them only
  // after the line has gone: they must still be offered.
  std::string taken;
  port_->onReceive = [&] {
    if (port_->deviceLost()) taken += port_->read(2);
  };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("abcdefgh");
  ASSERT_TRUE(waitForBytes(8));
  pullOut();
  ASSERT_TRUE(processEventsUntil([&] { return taken.size() == 8; }));
  EXPECT_EQ(taken, "abcdefgh");
}

}  // namespace
}  // namespace kovrel
