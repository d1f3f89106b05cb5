// A COM port polled on the window timer, over a fake device: the line's text, opening, and what
// each tick hands to the handler.
#include "scanner/polled_serial_port.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_timer.h"

namespace kovrel {
namespace {

using Calls = std::vector<std::string>;

// A COM device whose driver queue the test fills; it can refuse to open, fail reads and go away.
struct FakeDevice : ComDevice {
  int open(int comNumber, const SerialLine& line) override {
    calls.push_back("open COM" + std::to_string(comNumber) + " " + std::to_string(line.baud));
    return openError;
  }
  void close() override { calls.emplace_back("close"); }
  bool takeWaiting(std::string& into) override {
    if (failingReads-- > 0) return false;
    into += std::exchange(queue, "");
    return !gone;
  }
  bool clearError() override { return !gone; }
  void purgeInput() override { calls.emplace_back("purge"), queue.clear(); }
  void setDtr(bool on) override { calls.push_back(on ? "dtr on" : "dtr off"); }

  std::string queue;
  Calls calls;
  int openError = 0;
  int failingReads = 0;  // counts down with every read
  bool gone = false;
};

struct Rig {
  explicit Rig(bool open = true) { EXPECT_EQ(open ? port.open(3, "57600,N,8,1") : 0, 0); }
  testing::FakeTimer* timer = new testing::FakeTimer;
  FakeDevice* device = new FakeDevice;
  PolledSerialPort port{std::unique_ptr<Timer>(timer), std::unique_ptr<ComDevice>(device)};
};

TEST(PolledSerialPort, lineTextHasFourFieldsAndOpenPassesTheRefusalAndPollsOnlyWhileOpen) {
  using S = SerialLine::Stop;
  for (const auto& [text, line] : {std::pair{"57600,N,8,1", SerialLine{57600, 'N', 8, S::One}},
                                   {" 9600, e ,7,2 ", SerialLine{9600, 'E', 7, S::Two}},
                                   {"1200,M,5,1.5", SerialLine{1200, 'M', 5, S::OneAndHalf}},
                                   {"115200,S,6,1", SerialLine{115200, 'S', 6, S::One}}})
    EXPECT_TRUE(parseSerialLine(text) == line) << text;
  for (const char* bad : {"", "57600,N,8", "57600,N,8,1,", "57600,X,8,1", "57600,NN,8,1", "57600,N,9,1",
                          "57600,N,4,1", "0,N,8,1", "-9600,N,8,1", "576OO,N,8,1", "57600,N,8,3"})
    EXPECT_FALSE(parseSerialLine(bad).has_value()) << bad;
  Rig rig(false);
  EXPECT_EQ(rig.port.open(3, "57600,N,8,X"), kErrPortOther);
  EXPECT_TRUE(rig.device->calls.empty());  // bad settings never reach the device
  rig.device->openError = kErrPortInUse;
  EXPECT_EQ(rig.port.open(3, "57600,N,8,1"), kErrPortInUse);
  EXPECT_FALSE(rig.port.isOpen() || rig.timer->active);
  rig.device->openError = 0;
  ASSERT_EQ(rig.port.open(4, "57600,N,8,1"), 0);
  EXPECT_TRUE(rig.port.isOpen() && rig.timer->active);
  rig.port.close();
  EXPECT_FALSE(rig.port.isOpen() || rig.timer->active);
  EXPECT_EQ(rig.device->calls, (Calls{"open COM3 57600", "open COM4 57600", "close"}));
}

TEST(PolledSerialPort, aHandlerGetsEveryUnitOfTheTickWhatItLeavesOnlyWhenMoreComeAndItsCloseEndsTheTick) {
  Rig rig;
  rig.port.setReceiveThreshold(2);
  std::vector<std::string> units;
  rig.port.onReceive = [&] { units.push_back(rig.port.read(2)); };  // one unit per call
  rig.device->queue = "*1*2*3X";
  rig.timer->tick();
  EXPECT_EQ(units, (std::vector<std::string>{"*1", "*2", "*3"}));
  EXPECT_EQ(rig.port.bytesWaiting(), 1);  // below the threshold: kept, not announced
  rig.timer->tick();
  rig.device->queue = "Y";
  EXPECT_EQ(rig.port.bytesWaiting(), 2);  // taken in by a count between two ticks: news all the same
  rig.timer->tick();
  EXPECT_EQ(units, (std::vector<std::string>{"*1", "*2", "*3", "XY"}));

  int calls = 0;  // a handler that takes nothing is called once
  rig.port.onReceive = [&] { ++calls; };
  rig.device->queue = "abc";
  rig.timer->tick();
  rig.timer->tick();
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(rig.port.read(1) == "a" && rig.port.read(10) == "bc");

  rig.port.onReceive = [&] { ++calls, rig.port.read(1), rig.port.close(); };  // closing ends the tick
  rig.device->queue = "abcdef";
  rig.timer->tick();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(rig.port.bytesWaiting(), 0);  // and drops what was left
}

TEST(PolledSerialPort,
     clearingDropsQueueAndBufferALostDeviceStillHandsOverWhatArrivedAFailedReadIsRetriedOnce) {
  Rig rig;
  rig.device->queue = "old";
  EXPECT_EQ(rig.port.bytesWaiting(), 3);
  rig.device->queue = "older";
  rig.port.clearInput();
  EXPECT_EQ(rig.port.bytesWaiting(), 0);
  rig.port.setDtr(true);
  EXPECT_EQ(rig.device->calls, (Calls{"open COM3 57600", "purge", "dtr on"}));

  rig.device->queue = "last";
  rig.device->gone = true;
  rig.timer->tick();
  EXPECT_TRUE(rig.port.deviceLost() && !rig.timer->active);
  EXPECT_EQ(rig.port.read(10), "last");
  rig.port.setDtr(true);  // nothing reaches a device that is gone
  rig.port.clearInput();
  EXPECT_EQ(rig.device->calls.size(), 3u);
  rig.device->gone = false;  // reopening starts afresh
  ASSERT_EQ(rig.port.open(3, "57600,N,8,1"), 0);
  EXPECT_TRUE(!rig.port.deviceLost() && rig.timer->active);

  rig.device->failingReads = 1;  // a line error, cleared: read again
  rig.device->queue = "ok";
  rig.timer->tick();
  EXPECT_EQ(rig.port.read(10), "ok");
  rig.device->failingReads = 100;  // failing after a clearing too (a pulled adapter): lost
  rig.timer->tick();
  EXPECT_TRUE(rig.port.deviceLost() && rig.device->failingReads == 98);
}

}  // namespace
}  // namespace kovrel
