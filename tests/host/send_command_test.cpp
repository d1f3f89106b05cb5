#include "host/send_command.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <tuple>

#include "app/texts.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "host/oma_framing.h"

namespace kovrel {
namespace {

using namespace kovrel::testing;
using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kRequest =
    bytesOf("\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d");
const Bytes kAck{oma::ACK};
// The host's message after its ACK, with padding, an unknown label and a checksum record.
const Bytes kHostMessage = bytesOf(
    "\x1cJOB=  \"345\" \r\nVEN=LAB;X\x1e"
    "CRC=51234\x1e\x1d");

// The prepared trace the tests send: 25.00 mm, then codes 30 31 6 64 28 255 0 0 ...
PreparedShape cannedShape() {
  PreparedShape shape;
  shape.forma_auxiliar.radius(1) = 2500;
  const int firstCodes[] = {30, 31, 6, 64, 28, 255};
  for (int n = 2; n <= 7; ++n) shape.forma_auxiliar.radius(n) = firstCodes[n - 2];
  shape.mida_h = 4512.5;
  shape.mida_v = 3800;
  shape.offset_radi = 10;
  shape.plotPoints = {{40.5, 39.5}, {41.0, 40.0}};
  return shape;
}

// Its answer for the label "Rev.[345]", written out by hand (2500 = 9 x 256 + 196).
Bytes cannedAnswer() {
  Bytes a = bytesOf(
                "\x06\x1c"
                "ANS=1\r\nJOB=\"Rev.[345]\"\r\nTRCFMT=3;800;E;R;D\r\nR=") +
            Bytes{196, 9} + Bytes{27, 158, 31, 27, 134, 27, 192, 27, 156, 255};
  a.insert(a.end(), 799 - 6, 0);
  return a + Bytes{13, 10, 30, 29, 6};
}

class SendCommandTest : public ::testing::Test {
 protected:
  SendCommandTest() {
    port.exists = port.hostHolds = true;
    s.tipoMontura = 1;
    s.comport2 = "5";
    s.contador_treballs = 345;
    w.setText(Control::contadorLectures, "Rev.[345]");
    w.setText(Control::offset_mida, "0,00");
  }
  PreparedShape prepare(const PrepareInputs& in) {
    ++prepareCalls;
    inputs = in;
    if (duringPrepare) duringPrepare();
    return canned;
  }
  std::string text1() const { return w.text(Control::Text1); }
  bool on(Control c) const { return w.isEnabled(c); }

  SharedState s;
  FakeWindow w;
  FakePlot plot;
  FakeVirtualPort port;
  FakeClock clock;
  FakeTimer pollTimer;
  int panelShown = 0, prepareCalls = 0;
  PrepareInputs inputs;
  PreparedShape canned = cannedShape();
  std::function<void()> duringPrepare;
  SendCommand cmd{
      s,
      w,
      plot,
      port,
      clock,
      pollTimer,
      {[this] { ++panelShown; }, [this](const TraceTable&, const PrepareInputs& in) { return prepare(in); }}};
};

// ===== Deliveries =================================================================================

TEST_F(SendCommandTest, sendBeforeALensTypeIsChosenOnlyOpensThePanel) {
  s.tipoMontura = Dynamic();  // never set since start-up
  w.setEnabled(Control::sortirBtn, false);
  cmd.interpola_Click();
  EXPECT_EQ(panelShown, 1);
  for (Control c : {Control::antiHorari, Control::Horari, Control::mirallHoritzontal, Control::cfg_btn,
                    Control::interpola, Control::parada, Control::llegirBtn})
    EXPECT_FALSE(on(c)) << objectName(c);
  EXPECT_TRUE(on(Control::sortirBtn));
  EXPECT_TRUE(port.calls.empty());
  EXPECT_EQ(prepareCalls, 0);
}

TEST_F(SendCommandTest, wireCarriesTheRequestThenAfterTheHostsGsTheAnswer) {
  s.contador_treballs = "0345";  // the request carries the counter's number, the answer the label's text
  w.setEnabled(Control::llegirBtn, false);
  cmd.interpola_Click();
  EXPECT_EQ(port.written, kRequest);
  EXPECT_EQ(port.calls, (std::vector<std::string>{"obrir COM5", "obrir COM5", "preparar"}));
  cmd.interpola_Click();  // ignored while the exchange waits
  port.hostSends(kAck);
  EXPECT_EQ(port.written, kRequest) << "nothing is answered before the host's GS";
  port.hostSends(kHostMessage);

  EXPECT_EQ(port.written, kRequest + cannedAnswer());
  EXPECT_EQ(cmd.hostRecords(),
            (std::vector<std::string>{"", "JOB=  \"345\" ", "", "VEN=LAB;X", "CRC=51234", ""}));
  EXPECT_FALSE(cmd.busy());
  EXPECT_FALSE(pollTimer.active);
  EXPECT_EQ(w.text1History.front(), texts::kSending);
  EXPECT_EQ(text1(), texts::kSentOk);
  EXPECT_EQ(s.ja_Enviat, 1);
  for (Control c : {Control::antiHorari, Control::Horari, Control::mirallHoritzontal, Control::parada,
                    Control::offset_mida, Control::OffsetMesBtn, Control::OffsetMenysBtn})
    EXPECT_FALSE(on(c)) << objectName(c);
  for (Control c : {Control::interpola, Control::sortirBtn, Control::llegirBtn, Control::cfg_btn})
    EXPECT_TRUE(on(c)) << objectName(c);
  EXPECT_TRUE(w.isVisible(Control::Form1)) << "only automatic mode hides the window";
}

TEST_F(SendCommandTest, secondSendResendsTheSameBytesWithoutPreparingByteByByteOrInOneBurst) {
  cmd.interpola_Click();
  port.hostSends(bytesOf("noise\x1d") + kAck + kHostMessage);  // bytes before the ACK are dropped
  const Bytes first = port.written;
  ASSERT_EQ(first, kRequest + cannedAnswer());

  port.written.clear();
  canned.forma_auxiliar.radius(1) = 1234;  // a new preparation would show here
  cmd.interpola_Click();
  for (std::uint8_t b : kAck + kHostMessage) port.hostSends(Bytes{b});
  EXPECT_EQ(port.written, first);
  EXPECT_EQ(prepareCalls, 1);
}

TEST_F(SendCommandTest, sizesOnlyAndAutomaticModesChangeOnlyTheEnding) {
  w.setChecked(Control::noMidesChk, true);
  w.setChecked(Control::autochk, true);
  cmd.interpola_Click();
  EXPECT_TRUE(w.isVisible(Control::Form1));
  port.hostSends(kAck + kHostMessage);
  EXPECT_EQ(port.written, kRequest + cannedAnswer());
  EXPECT_EQ(text1(), "horitzontal :4512,5 Vertical :3800  10");
  EXPECT_FALSE(w.isVisible(Control::Form1));
}

// ===== Preparation and the manual offset ==========================================================

TEST_F(SendCommandTest, preparationTakesTheOperatorsTurnMirrorAndOffsets) {
  s.gir_acumulat = 0.25;
  s.signe_x = "-1";  // values as the settings loader stores them: texts with "."
  s.serial_number = "0061";
  s.filterscope = "3";
  s.normalOaire = 0.2;
  s.OffsetMida = "0.1";
  w.setText(Control::offset_mida, "-0,15");
  cmd.interpola_Click();

  EXPECT_EQ(std::tie(inputs.gir_acumulat, inputs.signe_x, inputs.signe_y, inputs.serial_number),
            std::make_tuple(0.25, -1, 1, std::string("0061")));
  EXPECT_EQ(std::tie(inputs.filterscope, inputs.manualOffsetMm, inputs.normalOaire, inputs.OffsetMida),
            std::make_tuple(3.0, -0.15, 0.2, 0.1));
  EXPECT_EQ(s.forma_auxiliar, canned.forma_auxiliar);
  EXPECT_EQ(std::tie(s.mida_h, s.mida_v, s.offset_radi), std::make_tuple(4512.5, 3800.0, 10.0));
  // The resampled shape replaces the read on a fresh plot with axes, in wide dots.
  EXPECT_EQ(plot.clears, 1);
  EXPECT_FALSE(plot.lines.empty());
  ASSERT_EQ(plot.dots.size(), 2u);
  EXPECT_EQ(std::tie(plot.dots[0].x, plot.dots[0].y, plot.dots[0].width), std::make_tuple(40.5, 39.5, 2));
  EXPECT_GE(plot.refreshes, 1);
}

TEST_F(SendCommandTest, manualOffsetIsUsedUpOnlyByTheSendThatSucceeds) {
  w.setText(Control::offset_mida, "0,1");
  // Sizes only, no host: the sizes are shown and the send button locked.
  w.setChecked(Control::noMidesChk, true);
  port.hostHolds = false;
  cmd.interpola_Click();
  EXPECT_EQ(text1(), "horitzontal :4512,5 Vertical :3800  10");
  EXPECT_FALSE(on(Control::interpola));
  EXPECT_EQ(w.text(Control::offset_mida), "0,1");
  // The host lets go of the port while the shape is prepared.
  w.setChecked(Control::noMidesChk, false);
  port.hostHolds = true;
  duringPrepare = [&] { port.hostHolds = false; };
  cmd.interpola_Click();
  EXPECT_EQ(text1(), texts::kNoHostWaiting);
  EXPECT_EQ(w.text(Control::offset_mida), "0,1");
  // The host does not acknowledge in time.
  duringPrepare = nullptr;
  port.hostHolds = true;
  cmd.interpola_Click();
  clock.advance(6);
  pollTimer.tick();
  EXPECT_EQ(text1(), texts::kOmaTimeout);
  EXPECT_EQ(w.text(Control::offset_mida), "0,1");
  // Delivered with the operator's value; only now the box goes back to 0.
  cmd.interpola_Click();
  port.hostSends(kAck + kHostMessage);
  EXPECT_EQ(text1(), texts::kSentOk);
  EXPECT_EQ(prepareCalls, 4);
  EXPECT_DOUBLE_EQ(inputs.manualOffsetMm, 0.1);
  EXPECT_EQ(w.text(Control::offset_mida), "0");
}

TEST_F(SendCommandTest, manualOffsetThatIsNotANumberStopsTheSend) {
  for (const char* typed : {"abc", "", "0,1x", "--1", "0,1,2"}) {
    w.setText(Control::offset_mida, typed);
    cmd.interpola_Click();
    EXPECT_EQ(text1(), texts::kManualOffsetInvalid) << typed;
  }
  EXPECT_EQ(prepareCalls, 0);
  EXPECT_TRUE(port.written.empty());
  EXPECT_FALSE(cmd.busy());
}

// ===== Endings without a delivery =================================================================

TEST_F(SendCommandTest, noHostEndsBeforeOrAfterPreparing) {
  port.hostHolds = false;
  w.setEnabled(Control::parada, false);
  cmd.interpola_Click();
  EXPECT_EQ(text1(), texts::kNoHostWaiting);
  for (Control c : {Control::sortirBtn, Control::interpola, Control::parada}) EXPECT_TRUE(on(c));
  EXPECT_FALSE(on(Control::llegirBtn));
  EXPECT_EQ(prepareCalls, 0);

  // A read without the tracer's header prepares first; the read button is left alone then.
  w.setChecked(Control::noCapsaleraChk, true);
  w.setEnabled(Control::llegirBtn, true);
  cmd.interpola_Click();
  EXPECT_EQ(prepareCalls, 1);
  EXPECT_EQ(text1(), texts::kNoHostWaiting);
  EXPECT_TRUE(on(Control::llegirBtn));
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(s.ja_Enviat, 0);
}

TEST_F(SendCommandTest, nakEndsTheExchangeAndLocksReadAndSend) {
  w.setEnabled(Control::parada, false);
  cmd.interpola_Click();
  port.hostSends(Bytes{oma::NAK} + kAck + kHostMessage);
  EXPECT_EQ(text1(), texts::kOmaTimeout);
  EXPECT_TRUE(on(Control::parada));
  EXPECT_FALSE(on(Control::interpola));
  EXPECT_FALSE(on(Control::llegirBtn));
  EXPECT_EQ(port.written, kRequest);
  EXPECT_FALSE(pollTimer.active);
}

TEST_F(SendCommandTest, acknowledgementWaitCountsSecondsAcrossTheMinute) {
  clock.second = 58;
  w.setEnabled(Control::parada, false);
  cmd.interpola_Click();
  port.hostSends(kHostMessage);  // its GS, without an ACK, is dropped
  clock.second = 3;              // 5 s
  pollTimer.tick();
  EXPECT_TRUE(cmd.busy());
  clock.second = 4;  // 6 s
  pollTimer.tick();
  EXPECT_EQ(text1(), texts::kOmaTimeout);
  EXPECT_TRUE(on(Control::parada));
  EXPECT_TRUE(on(Control::interpola) && on(Control::llegirBtn)) << "a silent host leaves read and send";
  EXPECT_EQ(port.written, kRequest);
}

TEST_F(SendCommandTest, messageWaitStartsAtTheAcknowledgementAndLasts9Seconds) {
  cmd.interpola_Click();
  clock.second = 4;
  port.hostSends(kAck + bytesOf("\x1cJOB=\"345\"\r\n"));
  clock.second = 13;
  pollTimer.tick();
  EXPECT_EQ(cmd.phase(), SendCommand::Phase::ReadingMessage);
  clock.second = 14;
  pollTimer.tick();
  EXPECT_EQ(text1(), texts::kOmaTimeout);
  EXPECT_FALSE(on(Control::interpola) || on(Control::llegirBtn));
  EXPECT_EQ(port.written, kRequest);
}

Bytes messageOfRecords(int records) {
  Bytes m = bytesOf("A");
  for (int k = 2; k <= records; ++k)
    m = m + bytesOf(
                "\x1e"
                "A");
  return m + Bytes{oma::GS};
}

TEST_F(SendCommandTest, runTimeErrorsEndWithThePortMessageAndLeaveTheButtons) {
  cmd.interpola_Click();
  port.hostSends(kAck + messageOfRecords(50));
  ASSERT_EQ(text1(), texts::kSentOk);

  w.setEnabled(Control::llegirBtn, false);
  const auto failWith = [&](const std::function<void()>& fault) {
    port.written.clear();
    cmd.interpola_Click();
    EXPECT_NO_THROW(fault());
    EXPECT_EQ(text1(), texts::kOutputPortMissing);
    EXPECT_EQ(port.written, kRequest);
    EXPECT_FALSE(cmd.busy() || pollTimer.active);
    EXPECT_FALSE(on(Control::llegirBtn));
    EXPECT_TRUE(on(Control::interpola));
  };
  failWith([&] { port.hostSends(kAck + messageOfRecords(51)); });
  failWith([&] {
    port.hostSends(kAck);
    port.failAll = true;
    pollTimer.tick();
  });
  port.failAll = false;
  s.forma_auxiliar.radius(1) = 255.5;  // the low byte rounds to 256
  failWith([&] { port.hostSends(kAck + kHostMessage); });
}

TEST_F(SendCommandTest, virtualPortMissingOrLostBeforeTheRequestIsReported) {
  port.failAll = true;
  EXPECT_NO_THROW(cmd.interpola_Click());
  EXPECT_EQ(text1(), texts::kVirtualPortUnavailable);
  EXPECT_EQ(prepareCalls, 0);

  port.failAll = false;
  duringPrepare = [&] { port.failAll = true; };
  EXPECT_NO_THROW(cmd.interpola_Click());
  EXPECT_EQ(text1(), texts::kVirtualPortUnavailable);
  EXPECT_FALSE(cmd.busy());
  EXPECT_TRUE(on(Control::sortirBtn) && on(Control::interpola));
}

// ===== Through the real preparation ===============================================================

TEST(SendCommandPrepared, hostDecodesTheRadiiThePreparationMadeAndTheReadIsKept) {
  TraceTable oval;  // 60 x 40 mm, 4095 points a turntable step apart
  for (int i = 1; i <= 4095; ++i) {
    oval.angle(i) = (i - 1) * 6.28318530718 / 4095;
    oval.radius(i) = 600.0 / std::hypot(20.0 * std::cos(oval.angle(i)), 30.0 * std::sin(oval.angle(i)));
  }
  SharedState s;
  FakeWindow w;
  FakePlot plot;
  FakeVirtualPort port;
  FakeClock clock;
  FakeTimer pollTimer;
  SendCommand cmd{s, w, plot, port, clock, pollTimer, {}};
  port.exists = port.hostHolds = true;
  s.tipoMontura = 1;
  s.serial_number = "0070";
  s.filterscope = "3";
  s.normalOaire = 0.2;
  s.forma_treball = oval;
  w.setText(Control::offset_mida, "0,1");
  PrepareInputs in;
  in.serial_number = "0070";
  in.filterscope = 3;
  in.normalOaire = 0.2;
  in.manualOffsetMm = 0.1;
  const PreparedShape expected = prepareShape(oval, in);

  cmd.interpola_Click();
  const auto requestEnd = static_cast<long>(port.written.size());
  port.hostSends(kAck + kHostMessage);
  std::vector<int> radii;
  std::string why;
  ASSERT_TRUE(
      oma::decodeAnswerRadii(Bytes(port.written.begin() + requestEnd, port.written.end()), radii, &why))
      << why;
  EXPECT_EQ(std::vector<double>(radii.begin(), radii.end()), expected.radii);
  EXPECT_EQ(s.forma_treball, oval);
  EXPECT_EQ(plot.dots.size(), expected.plotPoints.size());
}

}  // namespace
}  // namespace kovrel
