// The capture of a read from the tracer's stream, and the COM port it reads polled on a timer.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/texts.h"
#include "capture_rig.h"
#include "common/tracer_stream.h"
#include "fake_timer.h"
#include "scanner/capture.h"
#include "scanner/polled_serial_port.h"
#include "scanner/read_samples.h"

namespace kovrel {
namespace {

using testing::BasicCaptureRig;
using testing::CaptureRig;
using Bytes = std::vector<std::uint8_t>;
namespace tk = toolkit;

Bytes samplesRead(const std::vector<int>& samples) {
  return tk::assembleStream(tk::buildHeader({}), 614, samples, 12, 345);
}
Bytes circleRead(double radius, const tk::TracerCalibration& cal = {}) {
  return tk::buildStream(tk::circle(radius), cal, 12, 345);
}
Bytes slice(const Bytes& b, std::size_t first, std::size_t last) {
  return {b.begin() + static_cast<std::ptrdiff_t>(first), b.begin() + static_cast<std::ptrdiff_t>(last)};
}
std::size_t sampleEnd(int n) { return kHeaderBytes + 2 + 2 * static_cast<std::size_t>(n); }

void expectStoppedWith(const CaptureRig& rig, std::string_view message) {
  const auto& shown = rig.window.text1History;
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[shown.size() - 2], texts::kReadAborted);
  EXPECT_EQ(shown.back(), message);
  EXPECT_FALSE(rig.state.esticCapturant == 1 || rig.port.isOpen() || rig.window.isEnabled(Control::parada));
  EXPECT_TRUE(rig.window.isEnabled(Control::sortirBtn));
}

TEST(CaptureRead, outlinesAreReproducedWithinOneCountAndBurstDeliveryGivesSameTraceAsPaced) {
  const std::tuple<const char*, tk::Outline, double> rows[] = {
      {"rectangle-like", tk::superellipse(26, 17, 6), 1.5e-6},
      {"off centre", tk::offCentre(tk::ellipse(24, 16), 3, -2), -2.5e-6}};  // angleplus, radians
  for (const auto& [name, outline, angleplus] : rows) {
    SCOPED_TRACE(name);
    tk::TracerCalibration cal;
    cal.angleplus = angleplus;
    const Bytes stream = tk::buildStream(outline, cal, 1, 2);
    CaptureRig rig, paced;
    rig.start(), paced.start();
    rig.burst(stream), paced.paced(stream);
    ASSERT_EQ(rig.window.text(Control::Text1), texts::kReadFinished);
    for (int n = 1; n <= 4095; ++n) {
      const double angle = rig.state.forma_treball.angle(n);
      ASSERT_NEAR(rig.state.forma_treball.radius(n), outline(angle), tk::countSizeMm(cal)) << n;
      const auto& dot = rig.plot.dots[std::size_t(n - 1)];  // drawn where it was read, y upwards
      const double r = rig.state.forma_llegida.radius(n), a = rig.state.forma_llegida.angle(n);
      ASSERT_NEAR(std::hypot(dot.x - kPlotCentre - r * std::cos(a), kPlotCentre - dot.y - r * std::sin(a)), 0,
                  1e-9);
      // Just after the turn wraps a point may lag by up to half the arm's swing.
      ASSERT_TRUE(angle > -0.5 && angle < 2 * std::numbers::pi) << n << " " << angle;
    }
    EXPECT_EQ(rig.plot.dots.size(), 4096u);
    EXPECT_TRUE(paced.state.forma_llegida == rig.state.forma_llegida &&
                paced.state.forma_treball == rig.state.forma_treball &&
                paced.plot.refreshes == rig.plot.refreshes);
    EXPECT_TRUE(paced.window.text1History == rig.window.text1History &&
                paced.window.progressHistory == rig.window.progressHistory);
  }
}

// The needle at its innermost count lies radi_central from the centre; at the end of its travel
// the arm has swung by the chord's angle more. Each step turns the table by a 4095th of a turn.
TEST(CaptureRead, innermostAndOutermostCountsGiveTheArmsExactRadiiAndAngles) {
  CaptureRig rig;
  rig.start();
  std::vector<int> samples(4096, 1400);
  samples[0] = 150, samples[1] = 4095;
  rig.burst(slice(samplesRead(samples), 0, sampleEnd(2)));
  const double centre = std::asin(8.0 / 120), chord = std::asin(52.0 / 120);
  const TraceTable& read = rig.state.forma_llegida;
  EXPECT_NEAR(read.radius(1), 8.0, 1e-12);
  EXPECT_NEAR(read.radius(2), 120 * std::sin(chord + centre), 1e-12);
  EXPECT_NEAR(read.angle(1), 3.14159265 - centre, 1e-12);
  EXPECT_NEAR(read.angle(2), 3.14159265 - centre - chord + 2 * std::numbers::pi / 4095, 1e-10);
}

TEST(CaptureRead, completeReadShowsTheJobCounterAndHandsTheShapeOver) {
  CaptureRig rig;
  rig.state.comport1 = "9999";  // the highest COM number there is
  rig.state.signe_x = -1, rig.state.gir_acumulat = 0.4, rig.state.forma_de_fitxer = 1;  // a lab's file stood
  rig.state.forma_treball.radius(4096) = 99.0;  // the point closing the turn is never handed over
  rig.start();
  const Bytes stream = circleRead(30);
  rig.burst(slice(stream, 0, stream.size() - 2));
  EXPECT_TRUE(rig.window.text(Control::contadorLectures) == "Rev.[12]" &&
              rig.window.text(Control::Text1).empty());
  rig.burst(slice(stream, stream.size() - 2, stream.size()));

  EXPECT_TRUE(rig.window.text(Control::contadorLectures) == "Rev.[345]" &&
              rig.state.contador_treballs == 345);
  EXPECT_TRUE(rig.window.text(Control::Text1) == texts::kReadFinished && !rig.port.isOpen() &&
              rig.saves == 1 && rig.port.openedCom == 9999);
  EXPECT_TRUE(rig.state.signe_x == 1 && rig.state.gir_acumulat == 0.0 && rig.state.forma_de_fitxer == 0 &&
              rig.state.forma_treball.radius(4096) == 99);
  EXPECT_TRUE(rig.window.isEnabled(Control::mirallHoritzontal) &&
              rig.window.isEnabled(Control::OffsetMesBtn));
  EXPECT_FALSE(rig.window.isEnabled(Control::llegirBtn) || rig.window.isEnabled(Control::sortirBtn));
  const auto& progress = rig.window.progressHistory;  // 2 to 4097 during the samples, then 0
  ASSERT_EQ(progress.size(), 4097u);
  EXPECT_TRUE(progress.front() == 2 && progress[4095] == 4097 && progress.back() == 0);
}

TEST(CaptureRead, runningAngleOfExactlyTwoPiIsWrapped) {
  CaptureRig rig;
  rig.window.setChecked(Control::noCapsaleraChk, true), rig.window.setChecked(Control::CompSiNoChk, false);
  rig.state.polsoseix = 0, rig.start();
  // An arm angle of -2·PI puts the polar angle at exactly 2·PI.
  rig.state.grausperpols = 0, rig.state.angle_radi_central = -2.0 * kCapturePi;
  rig.burst(slice(samplesRead(std::vector<int>(4096, 1000)), 0, sampleEnd(1)));
  EXPECT_EQ(rig.state.forma_llegida.angle(1), 2.0 * kCapturePi);
  EXPECT_NEAR(rig.state.incrementangles, 2.0 * kCapturePi - kFullTurn, 1e-15);
  TraceTable read, treball;  // handed over, a point past the turn comes back; one exactly on it stays
  read.angle(5) = kFullTurn, read.angle(6) = kFullTurn + 0.001, handOverTrace(read, treball);
  EXPECT_TRUE(treball.angle(5) == kFullTurn && std::abs(treball.angle(6) - 0.001) < 1e-12);
}

TEST(CaptureRead, centreCalibrationAveragesEverySampleAndLeavesTheShapeAlone) {
  CaptureRig rig;
  rig.state.estic_calibrant = 1, rig.state.signe_x = -1, rig.state.forma_treball.radius(10) = 21.0;
  rig.start();
  const Bytes stream = samplesRead(std::vector<int>(4096, 100));  // would stop a shape read
  rig.burst(slice(stream, 0, sampleEnd(5)));
  EXPECT_TRUE(rig.window.isVisible(Control::veri_instrument_txt) &&
              rig.window.text(Control::Text1) == texts::kNeedleToCentre);
  rig.burst(slice(stream, sampleEnd(5), sampleEnd(6)));
  EXPECT_FALSE(rig.window.isVisible(Control::veri_instrument_txt));  // gone from the 6th sample on
  rig.burst(slice(stream, sampleEnd(6), stream.size()));

  EXPECT_EQ(rig.centreValues, 1);
  EXPECT_DOUBLE_EQ(rig.state.mitja_centre.toNumber(), 4096.0 * 100 / 4095);
  EXPECT_TRUE(rig.state.forma_treball.radius(10) == 21.0 && rig.state.signe_x == -1);
  EXPECT_TRUE(rig.window.isEnabled(Control::llegirBtn) && !rig.window.isEnabled(Control::OffsetMesBtn));
}

TEST(CaptureStop, firstByteNotStarUnlessHeaderlessStopOrNeedleInsideStopTheReadAndKeepThePreviousShape) {
  Bytes stream = circleRead(25);
  stream[0] = '#';
  CaptureRig rig, headerless;
  rig.start(), rig.burst(stream);
  expectStoppedWith(rig, texts::kPressReadFirst);
  EXPECT_TRUE(rig.window.isEnabled(Control::llegirBtn));

  headerless.window.setChecked(Control::noCapsaleraChk, true);
  headerless.window.setChecked(Control::CompSiNoChk, false);
  headerless.state.polsoseix = 150.5, headerless.start();
  headerless.burst(slice(stream, 0, sampleEnd(9)));
  EXPECT_EQ(headerless.window.text(Control::Text1), texts::kPressStart);
  headerless.burst(slice(stream, sampleEnd(9), sampleEnd(10)));  // the 10th sample tells
  EXPECT_EQ(headerless.window.text(Control::Text1), "Leyendo forma...150,5");
  headerless.burst(slice(stream, sampleEnd(10), stream.size()));
  EXPECT_EQ(headerless.window.text(Control::Text1), texts::kReadFinished);
  EXPECT_EQ(headerless.state.serial_number, "777777");
  CaptureRig keptArm;  // without a header the arm of the settings decodes the read as its header would
  keptArm.window.setChecked(Control::noCapsaleraChk, true),
      keptArm.window.setChecked(Control::CompSiNoChk, false);
  keptArm.start(), keptArm.burst(circleRead(25));
  rig.start(), rig.burst(circleRead(25));
  EXPECT_TRUE(keptArm.state.forma_llegida == rig.state.forma_llegida);

  // A stop, or the needle inside its innermost position, keeps the previous shape.
  std::vector<int> inside(4096, 145);  // innermost count 150 less the 5 counts allowed
  inside[10] = 144;
  for (bool byNeedle : {false, true}) {
    SCOPED_TRACE(byNeedle ? "needle inside" : "stop button");
    CaptureRig rig;
    rig.state.forma_treball.radius(3) = 33.0;
    rig.window.setPasswordMode(Control::Text1, true), rig.window.setChecked(Control::autochk, true);
    rig.start();
    if (byNeedle) {
      rig.burst(samplesRead(inside));
    } else {
      rig.burst(slice(circleRead(25), 0, sampleEnd(2000)));
      rig.capture.parada_Click();
    }
    EXPECT_EQ(rig.window.text(Control::Text1), byNeedle ? texts::kShapeOutOfRange : texts::kReadAborted);
    EXPECT_FALSE(rig.state.esticCapturant == 1 || rig.window.passwordMode(Control::Text1) ||
                 rig.port.isOpen());
    EXPECT_TRUE(rig.window.isEnabled(Control::llegirBtn) && rig.window.value(Control::ProgressBar1) == 0);
    EXPECT_FALSE(rig.window.isEnabled(Control::cfg_btn));           // automatic mode holds CONFIG
    EXPECT_TRUE(rig.plot.dots.empty() && !rig.plot.lines.empty());  // the empty axes
    EXPECT_EQ(rig.state.forma_treball.radius(3), 33.0);
    if (!byNeedle) continue;
    EXPECT_EQ(rig.state.contadorDadesRebudes, 11);
    EXPECT_GT(rig.state.forma_llegida.radius(10), 7.0);  // the points read so far stay
    rig.capture.parada_Click();                          // the next stop is an ordinary one again
    EXPECT_EQ(rig.window.text(Control::Text1), texts::kReadAborted);
  }
}

TEST(CaptureStop, trappedErrorsStopTheReadWithTheirMessage) {
  const Bytes good = samplesRead(std::vector<int>(4096, 1400));
  auto withByte = [&](std::size_t at, std::uint8_t value) {
    Bytes bytes = good;
    bytes[at] = value;
    return bytes;
  };
  using Rig = CaptureRig;
  const Bytes blankHeader =
      tk::assembleStream("*" + std::string(63, ' '), 614, std::vector<int>(4096, 1400), 1, 2);
  const std::string denied =
      std::string(texts::kTracerNoPermission) + "dialout" + std::string(texts::kTracerNoPermissionEnd);
  const auto open = [](int error) { return [error](Rig& r) { r.port.openError = error, r.start(); }; };
  const std::tuple<const char*, std::function<void(Rig&)>, bool, std::string> rows[] = {
      {"COM number that does not exist", open(kErrNoSuchPort), true, ""},
      {"COM number 0 in the settings", [](Rig& r) { r.state.comport1 = "0", r.start(); }, true, ""},
      {"COM number that is no number", [](Rig& r) { r.state.comport1 = "COM3", r.start(); }, true, ""},
      {"COM number past 9999", [](Rig& r) { r.state.comport1 = "10000", r.start(); }, true, ""},
      {"port held by another program", open(kErrPortInUse), false, ""},
      {"port failing otherwise", open(kErrPortOther), false, ""},
      {"device the user may not open",
       [&](Rig& r) { r.port.deniedGroupName = "dialout", open(kErrPortNoPermission)(r); }, false, denied},
      {"arm length of zero in the settings", [](Rig& r) { r.state.midaradi = 0, r.start(); }, false, ""},
      {"temperature over 16 bits", [&](Rig& r) { r.start(), r.burst(withByte(kHeaderBytes, 0x80)); }, false,
       ""},
      {"sample over 16 bits", [&](Rig& r) { r.start(), r.burst(withByte(sampleEnd(40), 0xC1)); }, false, ""},
      {"blank header", [&](Rig& r) { r.start(), r.burst(blankHeader); }, false, ""}};
  for (const auto& [name, provoke, portMissing, message] : rows) {
    SCOPED_TRACE(name);
    CaptureRig rig;
    rig.window.setChecked(Control::autochk, true);
    rig.state.grausperpols = 2.5e-4;
    provoke(rig);
    const std::string_view expected = portMissing ? texts::kPortErrorRestart : texts::kProgramErrorRestart;
    expectStoppedWith(rig, message.empty() ? expected : message);
    EXPECT_FALSE(rig.window.isChecked(Control::autochk));
    for (Control c : {Control::autochk, Control::llegirBtn, Control::cfg_btn})
      EXPECT_EQ(rig.window.isEnabled(c), !portMissing) << objectName(c);
    EXPECT_TRUE(std::isfinite(rig.state.grausperpols) &&
                std::isfinite(rig.state.angle_radi_central.toNumber()));
  }
  // A rejected header leaves the arm as it was, and is not read again: the next read goes through.
  CaptureRig rig, idle;
  rig.state.comport1 = "1";
  rig.start(), rig.burst(blankHeader);
  rig.start(), rig.burst(circleRead(25));
  EXPECT_TRUE(rig.window.text(Control::Text1) == texts::kReadFinished && rig.state.midaradi == 60 &&
              rig.port.openedCom == 1);
  // STOP offered again with no read (the lens prompt closed by its "x"): the shape goes, its editing too.
  idle.window.setEnabled(Control::interpola, true), idle.capture.parada_Click();
  EXPECT_FALSE(idle.window.isEnabled(Control::interpola));
}

// A tracer switched off mid-read: the port keeps reporting bytes it never delivers.
class VanishingPort : public testing::FakeSerialPort {
 public:
  int bytesWaiting() const override { return gone ? 2 : FakeSerialPort::bytesWaiting(); }
  std::string read(int maxChars) override {
    // A capture that kept asking would hang the test; fail it instead.
    if (gone && ++idleReads > 1000) throw std::runtime_error("the capture keeps reading a silent port");
    return gone ? "" : FakeSerialPort::read(maxChars);
  }
  bool gone = false;
  int idleReads = 0;
};

TEST(CaptureStop, deviceGoneMidReadLeavesTheReadWaitingForTheStopButton) {
  const Bytes stream = circleRead(25);
  for (std::size_t cut :
       {std::size_t{11}, std::size_t{kHeaderBytes}, sampleEnd(0) + 1, sampleEnd(300), stream.size() - 3}) {
    SCOPED_TRACE(cut);
    BasicCaptureRig<VanishingPort> rig;
    rig.start();
    rig.burst(slice(stream, 0, cut));
    const Dynamic header = rig.state.llegir_capsalera;
    const int next = rig.state.contadorDadesRebudes;
    const std::string gathered = rig.state.dades_capsalera;
    rig.port.gone = true;
    rig.capture.onReceive();
    EXPECT_TRUE(rig.state.esticCapturant == 1 && rig.state.llegir_capsalera == header &&
                !rig.window.isEnabled(Control::cfg_btn));
    EXPECT_TRUE(rig.state.contadorDadesRebudes == next && rig.state.dades_capsalera == gathered);
    rig.capture.parada_Click();
    EXPECT_EQ(rig.window.text(Control::Text1), texts::kReadAborted);
  }
}

// ---- the COM port polled on the window timer, over a fake device --------------------------------

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

struct PolledRig {
  explicit PolledRig(bool open = true) { EXPECT_EQ(open ? port.open(3, "57600,N,8,1") : 0, 0); }
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
  PolledRig rig(false);
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
  PolledRig rig;
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
  PolledRig rig;
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
