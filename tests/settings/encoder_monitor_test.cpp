// The encoder monitor on a fake port and a hand-ticked timer: the spread it shows per period,
// a stream out of step, and a port it cannot have.

#include "settings/encoder_monitor.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "settings/config_texts.h"

namespace kovrel {
namespace {

using testing::FakeSerialPort;
using testing::FakeTimer;

std::string pairs(std::initializer_list<int> readings) {
  std::string bytes;
  for (int r : readings) bytes += {static_cast<char>(r >> 8), static_cast<char>(r & 0xFF)};
  return bytes;
}

class EncoderMonitorTest : public ::testing::Test {
 protected:
  EncoderMonitorTest() { s.comport1 = "3"; }
  std::string shown() const { return w.text(Control::CalibracioEncoderTxt); }
  bool on() const { return w.isChecked(Control::PortEncEstatOpc); }

  SharedState s;
  testing::FakeWindow w;
  FakeSerialPort port;
  FakeTimer timer;
  int beeps = 0;
  EncoderMonitor monitor{s, w, port, timer, {[this] { ++beeps; }}};
};

TEST_F(EncoderMonitorTest, showsTheLargestSpreadOfEachPeriodUntilSwitchedOff) {
  w.setText(Control::CalibracioEncoderTxt, "E.Calib");
  monitor.CentEncBtn_Click();
  EXPECT_TRUE(on() && timer.active && port.openedCom == 3 && shown() == "0");

  port.feed(pairs({998, 1003, 1000}));  // one notification for a burst: every pair is taken
  EXPECT_TRUE(shown() == "5" && s.datoEncoder == "1000");

  timer.tick();  // a new period: 1000 then 1001 spread 1, whatever was shown before
  EXPECT_EQ(beeps, 1);
  port.feed(pairs({1000}));
  EXPECT_EQ(shown(), "0");
  port.feed(pairs({1001}));
  EXPECT_EQ(shown(), "1");

  // Out of step: a low byte of 128 or more in front is dropped and never counts as a reading.
  port.feed(std::string(1, static_cast<char>(0xE8)) + pairs({1003}));
  EXPECT_EQ(shown(), "3");
  port.feed(std::string(1, '\x03'));  // half a reading waits for its second byte
  EXPECT_EQ(shown(), "3");
  port.feed(std::string(1, '\xE6'));  // 0x03E6 = 998
  EXPECT_EQ(shown(), "5");

  monitor.CentEncBtn_Click();
  EXPECT_FALSE(on() || port.isOpen() || timer.active);
  EXPECT_EQ(shown(), "0");
}

TEST_F(EncoderMonitorTest, aPortItCannotHaveIsToldAndTheMonitorStaysOff) {
  struct Case {
    int capturing, openError;
    const char* com;
    std::string_view why;
  };
  for (const Case& c :
       {Case{1, 0, "3", texts::kEncoderPortBusyReading},
        Case{0, kErrNoSuchPort, "3", texts::kEncoderPortMissing},
        Case{0, kErrPortInUse, "3", texts::kEncoderPortInUse}, Case{0, 0, "0", texts::kEncoderPortMissing}}) {
    s.esticCapturant = c.capturing, port.openError = c.openError, s.comport1 = c.com;
    monitor.CentEncBtn_Click();
    EXPECT_FALSE(on()) << c.why;
    EXPECT_FALSE(port.isOpen() || timer.active) << c.why;
    EXPECT_EQ(w.text(Control::Text1).rfind(c.why, 0), 0u) << w.text(Control::Text1);
  }
}

}  // namespace
}  // namespace kovrel
