// The tracer link over a real pseudo-terminal: the test holds the master (the tracer's end) and
// publishes the slave under a COM name, so the port is opened by number exactly as the program
// opens the scanner's adapter.

#include "scanner/serial_port_qt.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <fstream>

#include "ports/com_registry.h"
#include "qt_event_loop.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::processEventsUntil;
using testing::processPendingEvents;

// ---- settings text ---------------------------------------------------------------

TEST(LineSettingsText, readsBaudParityDataAndStopBits) {
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
}

TEST(LineSettingsText, rejectsAnythingElse) {
  for (const char* bad : {"", "57600", "57600,N,8", "57600,N,8,1,1", "fast,N,8,1", "0,N,8,1", "57600,X,8,1",
                          "57600,NN,8,1", "57600,N,9,1", "57600,N,4,1", "57600,N,8,3", "57600,N,8,"})
    EXPECT_FALSE(parseLineSettings(bad).has_value()) << bad;
}

// ---- a real port --------------------------------------------------------------------------------

class TracerPty : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kovrel-serial-" + std::to_string(getpid()));
    fs::remove_all(root_);
    ComFolders folders;
    folders.sysfs = root_ / "sys";  // no real adapters take part
    folders.state = root_ / "state";
    folders.links = root_ / "links";
    registry_ = std::make_unique<ComRegistry>(folders);
    char name[64] = {};
    ASSERT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    ::close(slave_);
    slave_ = -1;
    registry_->publish(3, name, getpid(), PortKind::UsbSerial);
    port_ = std::make_unique<QtSerialPort>([this](int n) { return registry_->resolve(n); });
  }
  void TearDown() override {
    port_.reset();
    if (master_ >= 0) ::close(master_);
    fs::remove_all(root_);
  }
  void tracerSends(const std::string& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  bool waitForBytes(int n) {
    return processEventsUntil([&] { return port_->bytesWaiting() >= n; });
  }

  fs::path root_;
  std::unique_ptr<ComRegistry> registry_;
  int master_ = -1, slave_ = -1;
  std::unique_ptr<QtSerialPort> port_;
};

TEST_F(TracerPty, everyByteValueArrivesAsOneCharacter) {
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  EXPECT_TRUE(port_->isOpen());
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  tracerSends(all);
  ASSERT_TRUE(waitForBytes(256));
  EXPECT_EQ(port_->read(1), std::string(1, '\0'));
  std::string rest = port_->read(1000);
  EXPECT_EQ(rest, all.substr(1));
  EXPECT_EQ(port_->read(1), "");
  EXPECT_EQ(port_->bytesWaiting(), 0);
}

TEST_F(TracerPty, notificationWaitsForTheThreshold) {
  int calls = 0;
  port_->onReceive = [&] { ++calls; };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("*");
  ASSERT_TRUE(waitForBytes(1));
  processPendingEvents();
  EXPECT_EQ(calls, 0);
  tracerSends("*");
  ASSERT_TRUE(processEventsUntil([&] { return calls > 0; }));
  EXPECT_EQ(port_->bytesWaiting(), 2);
}

TEST_F(TracerPty, handlerTakingOneUnitPerCallIsCalledUntilBelowThreshold) {
  std::string taken;
  port_->onReceive = [&] { taken += port_->read(2); };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("abcdefghi");
  ASSERT_TRUE(processEventsUntil([&] { return taken.size() == 8; }));
  processPendingEvents();
  EXPECT_EQ(taken, "abcdefgh");
  EXPECT_EQ(port_->bytesWaiting(), 1);  // one byte is below the threshold: no call for it
}

TEST_F(TracerPty, handlerTakingNothingIsNotCalledAgainUntilMoreArrives) {
  int calls = 0;
  port_->onReceive = [&] { ++calls; };
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("stray bytes");
  ASSERT_TRUE(processEventsUntil([&] { return calls > 0 && port_->bytesWaiting() == 11; }));
  const int seen = calls;
  processPendingEvents();
  EXPECT_EQ(calls, seen);
}

TEST_F(TracerPty, clearInputDropsWhatWaits) {
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  tracerSends("old");
  ASSERT_TRUE(waitForBytes(3));
  port_->clearInput();
  EXPECT_EQ(port_->bytesWaiting(), 0);
  tracerSends("***");
  ASSERT_TRUE(waitForBytes(3));
  EXPECT_EQ(port_->read(3), "***");
}

// ---- failures to open ------------------------------------------------------------------------------

TEST_F(TracerPty, unknownComNumberAndDanglingNameAreNoSuchPort) {
  EXPECT_EQ(port_->open(4, kTracerLineSettings), kErrNoSuchPort);
  EXPECT_FALSE(port_->isOpen());

  // The tracer's end went away: the published name now leads nowhere.
  ::close(master_);
  master_ = -1;
  EXPECT_EQ(port_->open(3, kTracerLineSettings), kErrNoSuchPort);

  // A path that does not exist (an adapter unplugged after the listing).
  QtSerialPort direct([&](int) { return std::optional<fs::path>(root_ / "links" / "gone"); });
  EXPECT_EQ(direct.open(3, kTracerLineSettings), kErrNoSuchPort);
}

TEST_F(TracerPty, portHeldByAnotherPortObjectIsInUse) {
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  QtSerialPort second([this](int n) { return registry_->resolve(n); });
  EXPECT_EQ(second.open(3, kTracerLineSettings), kErrPortInUse);
  EXPECT_FALSE(second.isOpen());
  port_->close();
  EXPECT_EQ(second.open(3, kTracerLineSettings), 0);
}

TEST_F(TracerPty, notASerialDeviceOrBadSettingsIsAnotherError) {
  const fs::path plain = root_ / "plain.txt";
  std::ofstream(plain) << "not a port";
  QtSerialPort onFile([&](int) { return std::optional<fs::path>(plain); });
  EXPECT_EQ(onFile.open(3, kTracerLineSettings), kErrPortOther);
  EXPECT_EQ(port_->open(3, "57600,Q,8,1"), kErrPortOther);
  EXPECT_FALSE(port_->isOpen());
}

// ---- the device going away --------------------------------------------------------------------------

TEST_F(TracerPty, deviceGoneMidReadKeepsWhatArrivedAndStopsNotifying) {
  int calls = 0;
  port_->onReceive = [&] { ++calls; };  // takes nothing: a read waiting for more
  ASSERT_EQ(port_->open(3, kTracerLineSettings), 0);
  port_->setReceiveThreshold(2);
  tracerSends("***hdr");
  ASSERT_TRUE(waitForBytes(6));
  ::close(master_);  // the adapter is pulled out
  master_ = -1;
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
  EXPECT_EQ(port_->open(3, kTracerLineSettings), kErrNoSuchPort);
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
  ::close(master_);
  master_ = -1;
  ASSERT_TRUE(processEventsUntil([&] { return taken.size() == 8; }));
  EXPECT_EQ(taken, "abcdefgh");
}

}  // namespace
}  // namespace kovrel
