// The host simulator: how it reads the program's request and answer, and whether each of its
// misbehaviours makes the program react the way the lab expects.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "app/texts.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "host/oma_framing.h"
#include "host/send_command.h"
#include "host_session.h"

namespace kovrel::tools {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Outcome = HostSession::Outcome;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

const std::string kRequestText =
    "\x1c"
    "REQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n"
    "\x1e\x1d";
const Bytes kRequest = bytesOf(kRequestText);

// What the host should decode: the first radius, then each code as a signed byte added on.
std::vector<int> expectedRadii(int first, const std::vector<int>& codes) {
  std::vector<int> radii{first};
  for (int c : codes) radii.push_back(radii.back() + (c > 127 ? c - 256 : c));
  return radii;
}

Bytes feedAll(HostSession& host, const Bytes& bytes, std::chrono::nanoseconds at) {
  host.received(bytes, at);
  return host.due(at);
}

HostSession afterRequest(HostConfig config = {}, std::chrono::nanoseconds at = 0s) {
  HostSession host(config);
  feedAll(host, kRequest, at);
  return host;
}

// --- Request and answer ----------------------------------------------------------------------

TEST(HostRequest, programsRequestIsAcknowledgedAndItsJobEchoedAndMalformedOnesRefused) {
  HostSession host(HostConfig{});
  const Bytes reply = feedAll(host, bytesOf("noise" + kRequestText), 1s);  // noise before FS ignored
  EXPECT_EQ(host.requestJob(), "345");
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply.front(), oma::ACK);
  EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), HostSession::message("345", 3, Misbehaviour::None));
  EXPECT_EQ(host.phase(), HostSession::Phase::WaitingAnswer);

  for (std::string_view bad : {
           "\x1cREQ=TRC\r\nJOB=\"345\"\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",                  // no MODEL
           "\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=1;400;E;R;F\r\n\x1e\x1d",  // other format
           "\x1cREQ=TRC\r\nJOB=345\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",      // job unquoted
           "\x1cREQ=TRC\rJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",    // CR alone
           "\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1d",      // no RS
       }) {
    HostSession refusing(HostConfig{});
    EXPECT_EQ(feedAll(refusing, bytesOf(bad), 1s), Bytes{oma::NAK}) << bad;
    EXPECT_EQ(refusing.outcome(), Outcome::BadRequest);
    EXPECT_FALSE(refusing.problem().empty());
  }
}

TEST(HostAnswer, answerArrivingByteByByteDecodesTo800RadiiEvenWhenTheFirstLooksLikeRsGs) {
  HostSession host = afterRequest();
  // Codes covering every escaped value, both signs and the clamp limits; the first radius is
  // sent low byte first: RS, then GS.
  const int pattern[] = {6,  10, 13, 17, 19, 21, 26,  27,  28,  29,  30, 42,
                         44, 59, 61, 64, 0,  1,  127, 129, 255, 200, 31};
  std::vector<int> codes;
  for (int i = 0; i < 799; ++i) codes.push_back(pattern[i % std::size(pattern)]);
  const int first = 29 * 256 + 30;
  for (std::uint8_t b : oma::answerBytes("Rev.[345]", first, codes)) {
    EXPECT_EQ(host.outcome(), Outcome::Pending);
    host.received(Bytes{b}, 2s);
  }
  EXPECT_EQ(host.outcome(), Outcome::GoodAnswer) << host.problem();
  EXPECT_EQ(host.radii(), expectedRadii(first, codes));
  EXPECT_EQ(host.answerJob(), "Rev.[345]");
  EXPECT_TRUE(host.outcomeAsExpected());
}

TEST(HostAnswer, missingOrBrokenAnswersAreToldApartAtTheTimeOut) {
  const HostConfig config{Misbehaviour::None, 3, 3s};
  const Bytes good = oma::answerBytes("Rev.[1]", 2500.0, std::vector<int>(799, 0));
  HostSession silent = afterRequest(config, 10s);
  silent.due(12s);
  EXPECT_EQ(silent.outcome(), Outcome::Pending);
  silent.due(13s);
  EXPECT_EQ(silent.outcome(), Outcome::NoAnswer);

  HostSession cut = afterRequest(config, 10s);
  cut.received(Bytes(good.begin(), good.end() - 1), 11s);  // the final ACK never comes
  cut.due(13s);
  EXPECT_EQ(cut.outcome(), Outcome::BadAnswer);

  Bytes unescaped = good;
  unescaped[unescaped.size() - 10] = oma::CR;  // a framing byte inside the radii
  HostSession broken = afterRequest(config, 10s);
  broken.received(unescaped, 11s);
  broken.due(13s);
  EXPECT_EQ(broken.outcome(), Outcome::BadAnswer);
  EXPECT_FALSE(broken.problem().empty());
}

// --- Misbehaviour on the wire ------------------------------------------------------------------

TEST(HostMisbehaviour, eachMisbehaviourShowsOnTheWire) {
  auto replyOf = [](Misbehaviour m) {
    HostSession host{HostConfig{m}};
    return feedAll(host, kRequest, 0s);
  };
  EXPECT_EQ(replyOf(Misbehaviour::Nak), Bytes{oma::NAK});
  EXPECT_TRUE(replyOf(Misbehaviour::Silence).empty());
  const Bytes noGs = replyOf(Misbehaviour::NoGs);
  EXPECT_EQ(noGs.front(), oma::ACK);
  EXPECT_EQ(std::count(noGs.begin(), noGs.end(), oma::GS), 0);

  // More than the program's 50 records: every CR LF counts twice there.
  const Bytes many = replyOf(Misbehaviour::ManyRecords);
  int lineEnds = 0;
  for (std::size_t i = 0; i + 1 < many.size(); ++i) lineEnds += many[i] == oma::CR && many[i + 1] == oma::LF;
  EXPECT_GT(2 * lineEnds, 50);

  const Bytes noisy = replyOf(Misbehaviour::Garbage);
  const auto ack = std::find(noisy.begin(), noisy.end(), oma::ACK);
  ASSERT_NE(ack, noisy.end());
  EXPECT_NE(std::find(noisy.begin(), ack, oma::GS), ack) << "the noise carries a stray GS";
  EXPECT_EQ(std::find(noisy.begin(), ack, oma::NAK), ack);
  EXPECT_EQ(noisy.back(), oma::GS);

  HostSession closing{HostConfig{Misbehaviour::CloseMid}};
  const Bytes half = feedAll(closing, kRequest, 0s);
  EXPECT_TRUE(closing.closeRequested());
  EXPECT_EQ(std::count(half.begin(), half.end(), oma::GS), 0);
  EXPECT_EQ(closing.outcome(), Outcome::ClosedMidway);
  EXPECT_TRUE(closing.outcomeAsExpected());
}

TEST(HostMisbehaviour, slowHostAcknowledgesAfterFourSecondsAndEndsEightLater) {
  HostSession slow{HostConfig{Misbehaviour::Slow}};
  EXPECT_TRUE(feedAll(slow, kRequest, 100s).empty());
  EXPECT_TRUE(slow.due(103'999ms).empty());
  EXPECT_EQ(slow.due(104s), Bytes{oma::ACK});
  Bytes message;
  for (auto t = 104s; t < 112s; t += 1s) {
    const Bytes part = slow.due(t);
    message.insert(message.end(), part.begin(), part.end());
  }
  EXPECT_EQ(std::count(message.begin(), message.end(), oma::GS), 0);
  EXPECT_EQ(slow.due(112s).back(), oma::GS);
}

// --- Against the program's send command --------------------------------------------------------

// The program's send, wired to the host session through the in-memory virtual port; one clock
// drives both (the program counts whole seconds, the host nanoseconds).
struct Exchange {
  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeVirtualPort port;
  testing::FakeClock clock;
  testing::FakeTimer pollTimer;
  SendCommand send{state, window, plot, port, clock, pollTimer, {}};
  HostSession host;
  std::size_t seen = 0;
  std::chrono::nanoseconds now{0};

  explicit Exchange(Misbehaviour m) : host(HostConfig{m, 3, 20s}) {
    state.tipoMontura = 1;
    state.ja_Enviat = 1;  // already prepared: forma_auxiliar is sent as it is
    state.comport2 = 5;
    state.contador_treballs = 345;
    state.forma_auxiliar.radius(1) = 2500;
    for (int n = 2; n <= 800; ++n) state.forma_auxiliar.radius(n) = (n % 3 == 0) ? 255 : 1;
    window.setText(Control::contadorLectures, "Rev.[345]");
    window.setText(Control::offset_mida, "0");
    port.exists = true;
    port.hostHolds = true;
  }

  void shuttle() {
    if (port.written.size() > seen) {
      host.received(Bytes(port.written.begin() + static_cast<std::ptrdiff_t>(seen), port.written.end()), now);
      seen = port.written.size();
    }
    const Bytes reply = host.due(now);
    if (!reply.empty()) port.hostSends(reply);
  }

  // Runs the exchange for `seconds`, in steps of 100 ms of both clocks.
  void run(int seconds) {
    send.interpola_Click();
    for (int tenth = 0; tenth < seconds * 10; ++tenth) {
      shuttle();
      now += 100ms;
      if (tenth % 10 == 9) clock.advance(1);
      pollTimer.tick();
    }
    shuttle();
  }
};

TEST(HostAgainstProgram, wellBehavedHostsGetTheTraceAndMisbehavingOnesMakeTheProgramGiveUp) {
  const std::pair<Misbehaviour, std::string_view> rows[] = {
      {Misbehaviour::None, texts::kSentOk},         {Misbehaviour::Garbage, texts::kSentOk},
      {Misbehaviour::Slow, texts::kSentOk},         {Misbehaviour::Nak, texts::kOmaTimeout},
      {Misbehaviour::Silence, texts::kOmaTimeout},  {Misbehaviour::NoGs, texts::kOmaTimeout},
      {Misbehaviour::CloseMid, texts::kOmaTimeout}, {Misbehaviour::ManyRecords, texts::kOutputPortMissing},
  };
  for (const auto& [m, text] : rows) {
    SCOPED_TRACE(misbehaviourName(m));
    Exchange x(m);
    x.run(text == texts::kSentOk ? 15 : 25);
    EXPECT_EQ(x.window.text(Control::Text1), text);
    EXPECT_TRUE(x.host.outcomeAsExpected()) << x.host.problem();
    if (text != texts::kSentOk) {
      EXPECT_FALSE(x.send.busy());
      EXPECT_NE(x.host.outcome(), Outcome::GoodAnswer);
      continue;
    }
    ASSERT_EQ(x.host.outcome(), Outcome::GoodAnswer) << x.host.problem();
    std::vector<int> codes;
    for (int n = 2; n <= 800; ++n) codes.push_back(static_cast<int>(x.state.forma_auxiliar.radius(n)));
    EXPECT_EQ(x.host.radii(), expectedRadii(2500, codes));
    EXPECT_EQ(x.host.answerJob(), "Rev.[345]");
  }
}

// --- Command line ------------------------------------------------------------------------------

}  // namespace
}  // namespace kovrel::tools
