#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <stdexcept>
#include <tuple>

#include "base/number_text.h"
#include "base/texts.h"
#include "fake_virtual_port.h"
#include "host/oma_framing.h"
#include "links/serial_link.h"
#include "send_rig.h"

namespace kovrel::oma {
namespace {

// Offset of the first radius byte in an answer for the job label "1".
constexpr std::size_t kRadiusAt = 2 + 7 + 5 + 1 + 3 + 20 + 2;
constexpr long kCodesAt = kRadiusAt + 2;
std::vector<int> flatCodes() { return std::vector<int>(799, 0); }

TEST(OmaFraming, framingCodesGoEscapedTheFirstRadiusLowByteFirstHalfToEvenUnescapedAndDecodable) {
  const std::set<int> escaped = {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30, 42, 44, 59, 61, 64};
  for (int code = 0; code < 256; ++code) {
    std::vector<int> codes = flatCodes();
    codes[0] = code;
    const Bytes a = answerBytes("1", 1000, codes);
    const auto c = static_cast<std::uint8_t>(code);
    const Bytes wire =
        escaped.contains(code) ? Bytes{ESC, static_cast<std::uint8_t>(c + 128), 0} : Bytes{c, 0};
    EXPECT_EQ(Bytes(a.begin() + kCodesAt, a.begin() + kCodesAt + static_cast<long>(wire.size())), wire)
        << code;
  }
  // Hundredths, whether they fit in two bytes, the low and the high byte; half a hundredth below a
  // multiple of 256 rounds whole into the high byte.
  const std::tuple<double, bool, int, int> rows[] = {
      {2352.5, true, 48, 9}, {2353.5, true, 50, 9},   {2352.51, true, 49, 9}, {2560, true, 0, 10},
      {7196, true, 28, 28},  {65535, true, 255, 255}, {0, true, 0, 0},        {-1, false, 0, 0},
      {65536, false, 0, 0},  {255.5, true, 0, 1},     {511.5, true, 0, 2},    {65279.5, true, 0, 255},
      {65535.5, false, 0, 0}};
  for (auto [hundredths, ok, wantLow, wantHigh] : rows) {
    std::uint8_t low = 0, high = 0;
    ASSERT_EQ(firstRadiusBytes(hundredths, low, high), ok) << hundredths;
    EXPECT_TRUE(low == wantLow && high == wantHigh) << hundredths;
  }
  for (int bad : {256, -1}) {
    std::vector<int> codes = flatCodes();
    codes[10] = bad;
    EXPECT_THROW(answerBytes("1", 1000, codes), std::range_error) << bad;
  }
  EXPECT_THROW(answerBytes("1", 1000, std::vector<int>(798, 0)), std::range_error);
  // The host decodes first radii whose bytes are CR LF, LF CR or FS RS, which must not be taken for framing.
  for (int first : {13 + 256 * 10, 10 + 256 * 13, 28 + 256 * 30}) {
    std::vector<int> codes = flatCodes(), decoded;
    codes[0] = 255, codes[1] = 1, codes[2] = 128, codes[3] = 127, codes[4] = 1;  // -1, +1, -128, +127, +1
    std::string why;
    ASSERT_TRUE(decodeAnswerRadii(answerBytes("Rev.[7]", first, codes), decoded, &why))
        << first << ": " << why;
    ASSERT_EQ(decoded.size(), 800u);
    EXPECT_EQ((std::vector<int>(decoded.begin(), decoded.begin() + 6)),
              (std::vector<int>{first, first - 1, first, first - 128, first - 1, first}));
    EXPECT_EQ(decoded[799], first);
  }
}

using namespace kovrel::testing;
using C = Control;

// An answer that is not one is told as what is wrong with it (the host simulator prints it).
TEST(OmaFraming, aBrokenAnswerIsRefusedWithWhatIsWrongWithIt) {
  const Bytes open{ACK, FS};
  const std::pair<Bytes, std::string> broken[] = {
      {{ACK}, "answer must open with ACK FS"},
      {open, "no R= record"},
      {open + bytesOf("D=1\r\n"), "no R= record"},  // another record's name
      {open + bytesOf("R=\x10"), "R= record cut short"},
      {open + bytesOf("R=\x10\x02"), "record not ended by CR LF"},
      {open + bytesOf("R=\x10\x02\x01\x1b"), "ESC at end of answer"},
      {open + bytesOf("R=\x10\x02\x1b\x01"), "ESC before a byte that is not an escaped code"},
      {open + bytesOf("R=\x10\x02\x1c"), "framing byte inside the R= record"},
      {open + bytesOf("R=\x10\x02\r\nR="), "two R= records"},
      {open + bytesOf("TRCFMT=1;x;E\r\n"), "TRCFMT count is not a number"},
      {open + bytesOf("R=\x10\x02\r\n"), "radius count differs from TRCFMT"},
  };
  std::vector<int> radii;
  std::string said;
  for (const auto& [answer, why] : broken)
    EXPECT_TRUE(!decodeAnswerRadii(answer, radii, &said) && said == why) << why << ": " << said;
  Bytes cut = open + bytesOf("R=\x10\x02\x1c");
  cut.pop_back();  // the framing byte stays in the storage past the end, where nothing may read
  EXPECT_TRUE(!decodeAnswerRadii(cut, radii, &said) && said == "record not ended by CR LF") << said;
}

const Bytes kRequest =
    bytesOf("\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d");
const Bytes kAck{oma::ACK};
// The host's message after its ACK, with padding, an unknown label and a checksum record.
const Bytes kHostMessage = bytesOf("\x1cJOB=  \"345\" \r\nVEN=LAB;X\x1e") + bytesOf("CRC=51234\x1e\x1d");
const std::string kSizes = "horitzontal :4512,5 Vertical :3800  10";

// Its answer for the label "Rev.[345]", written out by hand (2500 = 9 x 256 + 196).
Bytes cannedAnswer() {
  Bytes a = bytesOf("\x06\x1c") + bytesOf("ANS=1\r\nJOB=\"Rev.[345]\"\r\nTRCFMT=3;800;E;R;D\r\nR=") +
            Bytes{196, 9, 27, 158, 31, 27, 134, 27, 192, 27, 156, 255};
  a.insert(a.end(), 799 - 6, 0);
  return a + Bytes{13, 10, 30, 29, 6};
}

class SendCommandTest : public ::testing::Test {
 protected:
  SendCommandTest() {
    port.exists = port.hostHolds = true, s.tipoMontura = 1, s.comport2 = "5", s.contador_treballs = 345;
    w.setText(C::contadorLectures, "Rev.[345]");
    w.setText(C::offset_mida, "0,00");
  }
  std::string text1() const { return w.text(C::Text1); }
  bool on(C c) const { return w.isEnabled(c); }
  void expectEnabled(std::initializer_list<C> controls, bool enabled) const {
    for (C c : controls) EXPECT_EQ(on(c), enabled) << objectName(c);
  }

  SharedState s;
  FakeWindow w;
  FakePlot plot;
  FakeVirtualPort port;
  SerialLink link{port, s};
  FakeClock clock;
  FakeTimer pollTimer;
  int panelShown = 0, prepareCalls = 0;
  PrepareInputs inputs;
  PreparedShape canned = cannedShape();
  std::function<void()> duringPrepare;
  SendCommand::Hooks hooks{[this] { ++panelShown; },
                           [this](const TraceTable&, const PrepareInputs& in) {
                             ++prepareCalls, inputs = in;
                             if (duringPrepare) duringPrepare();
                             return canned;
                           },
                           {}};
  SendCommand cmd{s, w, plot, link, clock, pollTimer, hooks};
};

TEST_F(SendCommandTest, sendBeforeALensTypeOnlyOpensThePanelThenTheWireCarriesRequestAndAnswer) {
  s.tipoMontura = Dynamic();  // never set since start-up
  w.setEnabled(C::sortirBtn, false);
  cmd.interpola_Click();
  expectEnabled({C::Horari, C::interpola, C::parada, C::llegirBtn}, false);
  EXPECT_TRUE(panelShown == 1 && on(C::sortirBtn) && port.calls.empty() && prepareCalls == 0);

  s.tipoMontura = 1;
  s.contador_treballs = "0345";  // the request carries the counter's number, the answer the label's
  cmd.interpola_Click();
  EXPECT_EQ(port.written, kRequest);
  cmd.interpola_Click();  // ignored while the exchange waits
  port.hostSends(kAck);
  EXPECT_EQ(port.written, kRequest) << "nothing is answered before the host's GS";
  port.hostSends(kHostMessage);

  EXPECT_EQ(port.written, kRequest + cannedAnswer());
  EXPECT_EQ(cmd.hostRecords(),
            (std::vector<std::string>{"", "JOB=  \"345\" ", "", "VEN=LAB;X", "CRC=51234", ""}));
  EXPECT_FALSE(cmd.busy() || pollTimer.active);
  EXPECT_TRUE(w.text1History.front() == texts::kSending && text1() == texts::kSentOk && s.ja_Enviat == 1);
  expectEnabled({C::Horari, C::mirallHoritzontal, C::parada, C::OffsetMesBtn}, false);
  expectEnabled({C::interpola, C::llegirBtn}, true);
}

TEST_F(SendCommandTest, resendCarriesTheSameBytesAndSizesOnlyAutomaticChangeOnlyTheEnding) {
  cmd.interpola_Click();
  port.hostSends(bytesOf("noise\x1d") + kAck + kHostMessage);  // bytes before the ACK are dropped
  ASSERT_EQ(port.written, kRequest + cannedAnswer());

  port.written.clear();
  canned.forma_auxiliar.radius(1) = 1234;  // a new preparation would show here
  w.setChecked(C::noMidesChk, true);
  w.setChecked(C::autochk, true);
  cmd.interpola_Click();
  EXPECT_TRUE(w.isVisible(C::Form1));
  for (std::uint8_t b : kAck + kHostMessage) port.hostSends(Bytes{b});
  EXPECT_EQ(port.written, kRequest + cannedAnswer());
  EXPECT_TRUE(prepareCalls == 1 && text1() == kSizes && !w.isVisible(C::Form1) && !on(C::cfg_btn));  // Auto
}

TEST_F(SendCommandTest, preparationTakesTheOperatorsTurnMirrorAndOffsets) {
  s.gir_acumulat = 0.25;
  s.signe_x = "-1";  // values as the settings loader stores them: texts with "."
  s.serial_number = "0061", s.filterscope = "3", s.normalOaire = 0.2, s.OffsetMida = "0.1";
  w.setText(C::offset_mida, "-0,15");
  cmd.interpola_Click();

  EXPECT_EQ(std::tie(inputs.gir_acumulat, inputs.signe_x, inputs.signe_y, inputs.serial_number),
            std::make_tuple(0.25, -1, 1, std::string("0061")));
  EXPECT_EQ(std::tie(inputs.filterscope, inputs.manualOffsetMm, inputs.normalOaire, inputs.OffsetMida),
            std::make_tuple(3.0, -0.15, 0.2, 0.1));
  EXPECT_EQ(s.forma_auxiliar, canned.forma_auxiliar);
  // The resampled shape replaces the read on a fresh plot, in wide dots.
  ASSERT_EQ(plot.dots.size(), 2u);
  EXPECT_EQ(std::tie(plot.dots[0].x, plot.dots[0].y, plot.dots[0].width), std::make_tuple(40.5, 39.5, 2));
}

TEST_F(SendCommandTest, manualOffsetThatIsNotANumberStopsTheSendAndAFailedSendKeepsIt) {
  for (const char* typed : {"abc", "", "0,1x", "--1", "0,1,2"}) {
    w.setText(C::offset_mida, typed);
    cmd.interpola_Click();
    EXPECT_EQ(text1(), texts::kManualOffsetInvalid) << typed;
  }
  EXPECT_TRUE(prepareCalls == 0 && port.written.empty() && !cmd.busy());
  // No host: nothing is prepared and the read button is locked.
  w.setText(C::offset_mida, "0,1");
  port.hostHolds = false;
  w.setEnabled(C::parada, false);
  cmd.interpola_Click();
  EXPECT_EQ(text1(), texts::kNoHostWaiting);
  expectEnabled({C::sortirBtn, C::interpola, C::parada}, true);
  EXPECT_TRUE(!on(C::llegirBtn) && prepareCalls == 0);
  // Sizes only, or a read without the tracer's header, prepares first; the read button is left alone.
  w.setEnabled(C::llegirBtn, true);
  w.setChecked(C::noMidesChk, true);
  cmd.interpola_Click();
  EXPECT_TRUE(text1() == kSizes && !on(C::interpola));
  w.setChecked(C::noMidesChk, false);
  w.setChecked(C::noCapsaleraChk, true);
  cmd.interpola_Click();
  EXPECT_TRUE(text1() == texts::kNoHostWaiting && prepareCalls == 2 && on(C::llegirBtn) &&
              port.written.empty());
  // The host lets go of the port while the shape is prepared.
  w.setChecked(C::noCapsaleraChk, false);
  port.hostHolds = true;
  duringPrepare = [&] { port.hostHolds = false; };
  cmd.interpola_Click();
  EXPECT_TRUE(text1() == texts::kNoHostWaiting && w.text(C::offset_mida) == "0,1");
  // The host does not acknowledge in time.
  duringPrepare = nullptr, port.hostHolds = true;
  cmd.interpola_Click();
  clock.advance(6), pollTimer.tick();
  EXPECT_TRUE(text1() == texts::kOmaTimeout && w.text(C::offset_mida) == "0,1");
  // Delivered with the operator's value; only now the box goes back to 0.
  cmd.interpola_Click();
  port.hostSends(kAck + kHostMessage);
  EXPECT_TRUE(text1() == texts::kSentOk && prepareCalls == 5 && inputs.manualOffsetMm == 0.1);
  EXPECT_EQ(w.text(C::offset_mida), "0");
}

TEST_F(SendCommandTest, filterSettingBeyondOneTurnStopsTheSendAndStaysAsStored) {
  for (const char* stored : {"-2147483648", "1e20", "4095.5"}) {
    s.filterscope = stored;
    cmd.interpola_Click();
    EXPECT_TRUE(text1() == texts::kFilterOutOfRange && s.filterscope.toText() == stored) << stored;
  }
  EXPECT_TRUE(prepareCalls == 0 && port.written.empty() && !cmd.busy());
  for (const char* edge : {"-4095", "4095"}) {  // a whole turn either way is still a shape
    s.filterscope = edge, s.ja_Enviat = 0;
    cmd.interpola_Click();
    EXPECT_EQ(inputs.filterscope, readNumber(edge));
    port.hostSends(kAck + kHostMessage);
    EXPECT_EQ(text1(), texts::kSentOk);
  }
}

TEST_F(SendCommandTest, silentHostTimesOutAndNakOrALateMessageLocksReadAndSend) {
  const auto start = [&] {
    port.written.clear();
    w.setEnabled(C::parada, false);
    cmd.interpola_Click();
  };
  const auto expectTimedOut = [&](bool readAndSendLeft) {
    EXPECT_TRUE(text1() == texts::kOmaTimeout && on(C::parada) && !pollTimer.active);
    EXPECT_TRUE(on(C::interpola) == readAndSendLeft && on(C::llegirBtn) == readAndSendLeft);
    EXPECT_EQ(port.written, kRequest);
  };
  // The acknowledgement wait counts seconds across the minute; a GS without an ACK is dropped.
  clock.second = 58;
  start();
  port.hostSends(kHostMessage);
  clock.second = 3, pollTimer.tick();  // 5 s
  EXPECT_TRUE(cmd.busy());
  clock.second = 4, pollTimer.tick();  // 6 s
  expectTimedOut(true);

  // The message wait starts at the acknowledgement and lasts 9 s.
  start();
  clock.second = 8;
  port.hostSends(kAck + bytesOf("\x1cJOB=\"345\"\r\n"));
  clock.second = 17, pollTimer.tick();
  EXPECT_EQ(cmd.phase(), SendCommand::Phase::ReadingMessage);
  clock.second = 18, pollTimer.tick();
  expectTimedOut(false);

  w.setEnabled(C::interpola, true), w.setEnabled(C::llegirBtn, true);
  start();
  port.hostSends(Bytes{oma::NAK} + kAck + kHostMessage);
  expectTimedOut(false);
}

Bytes messageOfRecords(int records) {
  Bytes m{'A'};
  for (int k = 2; k <= records; ++k) m = m + Bytes{oma::RS, 'A'};
  return m + Bytes{oma::GS};
}

TEST_F(SendCommandTest, runTimeErrorsEndWithThePortMessageAndLeaveTheButtons) {
  cmd.interpola_Click();
  port.hostSends(kAck + messageOfRecords(50));
  ASSERT_EQ(text1(), texts::kSentOk);
  EXPECT_EQ(cmd.hostRecords(), std::vector<std::string>(50, "A"));

  w.setEnabled(C::llegirBtn, false);
  const auto failWith = [&](const std::function<void()>& fault) {
    port.written.clear();
    cmd.interpola_Click();
    EXPECT_NO_THROW(fault());
    EXPECT_TRUE(text1() == texts::kOutputPortMissing && port.written == kRequest);
    EXPECT_FALSE(cmd.busy() || pollTimer.active || on(C::llegirBtn) || !on(C::interpola));
  };
  failWith([&] { port.hostSends(kAck + messageOfRecords(51)); });
  failWith([&] { port.hostSends(kAck), port.failAll = true, pollTimer.tick(); });
  port.failAll = false;
  s.forma_auxiliar.radius(1) = 10 * 256 - 0.5;  // reachable with the offsets' half hundredths
  cmd.interpola_Click(), port.hostSends(kAck + kHostMessage);
  EXPECT_EQ(text1(), texts::kSentOk);
  // A radius with no two-byte form is told as such before the request, so no host is left waiting.
  port.written.clear(), s.forma_auxiliar.radius(1) = 65536;
  cmd.interpola_Click();
  EXPECT_TRUE(text1() == texts::kShapeNotSendable && port.written.empty() && !cmd.busy() && on(C::parada));
}

TEST_F(SendCommandTest, controlsShowDisabledWhileTheHostIsAwaitedAndTheLensPromptsXGivesTheSendBack) {
  const std::initializer_list<C> sendAndEdit = {C::interpola, C::llegirBtn,  C::cfg_btn,
                                                C::Horari,    C::antiHorari, C::mirallHoritzontal};
  s.tipoMontura = 0;
  cmd.interpola_Click();
  expectEnabled(sendAndEdit, false);
  cmd.lensTypePromptClosed();  // "x": nothing sent, the read can be sent again
  expectEnabled(sendAndEdit, true);
  // Asked again and a lens type chosen: while the exchange runs nothing can act.
  cmd.interpola_Click();
  s.tipoMontura = 1;
  cmd.interpola_Click();
  ASSERT_TRUE(cmd.busy());
  cmd.lensTypePromptClosed();  // its "x" while the panel slides away gives back nothing now
  expectEnabled({C::sortirBtn, C::parada, C::autochk, C::noMidesChk, C::offset_mida, C::OK_manualbtn}, false);
  expectEnabled(sendAndEdit, false);
  // A host message of too many records keeps its message; STOP leads on to a new read.
  port.hostSends(kAck + messageOfRecords(51));
  EXPECT_EQ(text1(), texts::kOutputPortMissing);
  expectEnabled({C::sortirBtn, C::parada, C::autochk, C::offset_mida}, true);
  expectEnabled(sendAndEdit, false);
}

TEST_F(SendCommandTest, virtualPortMissingOrLostBeforeTheRequestIsReported) {
  for (bool lostWhilePreparing : {false, true}) {
    port.failAll = !lostWhilePreparing;
    duringPrepare = [&] { port.failAll = true; };
    EXPECT_NO_THROW(cmd.interpola_Click());
    EXPECT_EQ(text1(), texts::kVirtualPortUnavailable);
    EXPECT_TRUE(prepareCalls == (lostWhilePreparing ? 1 : 0) && !cmd.busy() && on(C::sortirBtn) &&
                on(C::interpola));
  }
}

}  // namespace
}  // namespace kovrel::oma
