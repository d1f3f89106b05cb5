#include "scanner/polled_serial_port.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_timer.h"

namespace kovrel {
namespace {

using testing::FakeTimer;

// A COM device whose driver queue the test fills; it can refuse to open and go away.
struct FakeDevice : ComDevice {
  int open(int comNumber, const SerialLine& line) override {
    calls.push_back("open COM" + std::to_string(comNumber) + " " + std::to_string(line.baud));
    if (openError == 0) opened = true;
    return openError;
  }
  void close() override { calls.emplace_back("close"), opened = false; }
  bool takeWaiting(std::string& into) override {
    into += queue;
    queue.clear();
    return !gone;
  }
  void purgeInput() override { calls.emplace_back("purge"), queue.clear(); }
  void setDtr(bool on) override { calls.push_back(on ? "dtr on" : "dtr off"); }

  std::string queue;
  std::vector<std::string> calls;
  int openError = 0;
  bool opened = false;
  bool gone = false;
};

struct Rig {
  Rig() {
    auto t = std::make_unique<FakeTimer>();
    auto d = std::make_unique<FakeDevice>();
    timer = t.get(), device = d.get();
    port = std::make_unique<PolledSerialPort>(std::move(t), std::move(d));
  }
  FakeTimer* timer;
  FakeDevice* device;
  std::unique_ptr<PolledSerialPort> port;
};

TEST(SerialLineText, ReadsTheFourFieldsAndRefusesAnythingElse) {
  using S = SerialLine::Stop;
  const struct {
    const char* text;
    bool valid;
    SerialLine line;
  } rows[] = {
      {"57600,N,8,1", true, {57600, 'N', 8, S::One}},
      {"9600,e,7,2", true, {9600, 'E', 7, S::Two}},
      {"1200,M,5,1.5", true, {1200, 'M', 5, S::OneAndHalf}},
      {"115200,S,6,1", true, {115200, 'S', 6, S::One}},
      {"", false, {}},
      {"57600,N,8", false, {}},
      {"57600,N,8,1,", false, {}},
      {"57600,X,8,1", false, {}},
      {"57600,NN,8,1", false, {}},
      {"57600,N,9,1", false, {}},
      {"57600,N,4,1", false, {}},
      {"0,N,8,1", false, {}},
      {"-9600,N,8,1", false, {}},
      {"576OO,N,8,1", false, {}},
      {"57600,N,8,3", false, {}},
  };
  for (const auto& row : rows) {
    const auto line = parseSerialLine(row.text);
    EXPECT_EQ(line.has_value(), row.valid) << row.text;
    if (line && row.valid) {
      EXPECT_EQ(*line, row.line) << row.text;
    }
  }
}

TEST(PolledSerialPort, OpenPassesTheDevicesRefusalAndPollsOnlyWhileOpen) {
  Rig rig;
  EXPECT_EQ(rig.port->open(3, "57600,N,8,X"), kErrPortOther);
  EXPECT_TRUE(rig.device->calls.empty());  // bad settings never reach the device
  rig.device->openError = kErrPortInUse;
  EXPECT_EQ(rig.port->open(3, "57600,N,8,1"), kErrPortInUse);
  EXPECT_FALSE(rig.port->isOpen() || rig.timer->active);

  rig.device->openError = 0;
  ASSERT_EQ(rig.port->open(4, "57600,N,8,1"), 0);
  EXPECT_TRUE(rig.port->isOpen() && rig.timer->active);
  rig.port->close();
  EXPECT_FALSE(rig.port->isOpen() || rig.timer->active || rig.device->opened);
  EXPECT_EQ(rig.device->calls.back(), "close");
}

TEST(PolledSerialPort, AHandlerTakingOneUnitPerCallGetsEveryUnitOfTheTick) {
  Rig rig;
  rig.port->setReceiveThreshold(2);
  std::vector<std::string> units;
  rig.port->onReceive = [&] { units.push_back(rig.port->read(2)); };
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  rig.device->queue = "*1*2*3X";
  rig.timer->tick();
  EXPECT_EQ(units, (std::vector<std::string>{"*1", "*2", "*3"}));
  EXPECT_EQ(rig.port->bytesWaiting(), 1);  // below the threshold: kept, not announced
  rig.timer->tick();
  EXPECT_EQ(units.size(), 3u);
  rig.device->queue = "Y";
  rig.timer->tick();
  EXPECT_EQ(units.back(), "XY");
}

TEST(PolledSerialPort, BytesLeftByTheHandlerAreAnnouncedAgainOnlyWhenMoreCome) {
  Rig rig;
  int calls = 0;
  rig.port->onReceive = [&] { ++calls; };
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  rig.device->queue = "abc";
  rig.timer->tick();
  rig.timer->tick();
  EXPECT_EQ(calls, 1);
  // Bytes taken in by a count between two ticks are news all the same.
  rig.device->queue = "d";
  EXPECT_EQ(rig.port->bytesWaiting(), 4);
  rig.timer->tick();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(rig.port->read(10), "abcd");
}

TEST(PolledSerialPort, AHandlerThatClosesThePortEndsTheTick) {
  Rig rig;
  int calls = 0;
  rig.port->onReceive = [&] {
    ++calls;
    rig.port->read(1);
    rig.port->close();
  };
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  rig.device->queue = "abcdef";
  rig.timer->tick();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(rig.port->bytesWaiting(), 0);  // closing drops what was left
}

TEST(PolledSerialPort, ALostDeviceStillHandsOverWhatArrivedAndStopsPolling) {
  Rig rig;
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  rig.device->queue = "last";
  rig.device->gone = true;
  rig.timer->tick();
  EXPECT_TRUE(rig.port->deviceLost());
  EXPECT_FALSE(rig.timer->active);
  EXPECT_EQ(rig.port->read(10), "last");
  rig.port->setDtr(true);  // nothing reaches a device that is gone
  rig.port->clearInput();
  EXPECT_EQ(rig.device->calls, (std::vector<std::string>{"open COM3 57600"}));
  // Reopening starts afresh.
  rig.device->gone = false;
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  EXPECT_FALSE(rig.port->deviceLost());
  EXPECT_TRUE(rig.timer->active);
}

TEST(PolledSerialPort, ClearingDropsTheDriversQueueAndTheBuffer) {
  Rig rig;
  ASSERT_EQ(rig.port->open(3, "57600,N,8,1"), 0);
  rig.device->queue = "old";
  EXPECT_EQ(rig.port->bytesWaiting(), 3);
  rig.device->queue = "older";
  rig.port->clearInput();
  EXPECT_EQ(rig.port->bytesWaiting(), 0);
  rig.port->setDtr(true);
  EXPECT_EQ(rig.device->calls.back(), "dtr on");
  EXPECT_EQ(rig.device->calls[rig.device->calls.size() - 2], "purge");
}

}  // namespace
}  // namespace kovrel
