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
#include "host_args.h"
#include "host_session.h"

namespace kovrel::tools {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Outcome = HostSession::Outcome;

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Bytes kRequest = bytesOf(
    "\x1c"
    "REQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n"
    "\x1e\x1d");

// Codes covering every escaped value, both signs and the clamp limits.
std::vector<int> sampleCodes() {
  const int pattern[] = {6,  10, 13, 17, 19, 21, 26,  27,  28,  29,  30, 42,
                         44, 59, 61, 64, 0,  1,  127, 129, 255, 200, 31};
  std::vector<int> codes;
  for (int i = 0; i < 799; ++i) codes.push_back(pattern[i % std::size(pattern)]);
  return codes;
}

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

// --- Request -----------------------------------------------------------------------------------

TEST(HostRequest, programsRequestIsAcknowledgedAndItsJobEchoed) {
  HostSession host(HostConfig{});
  const Bytes reply = feedAll(host, bytesOf("noise") + kRequest, 1s);  // noise before FS ignored
  EXPECT_EQ(host.requestJob(), "345");
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply.front(), oma::ACK);
  EXPECT_EQ(Bytes(reply.begin() + 1, reply.end()), HostSession::message("345", 3, Misbehaviour::None));
  EXPECT_EQ(host.phase(), HostSession::Phase::WaitingAnswer);
}

TEST(HostRequest, malformedRequestsAreRefusedWithNak) {
  const std::string_view bad[] = {
      "\x1cREQ=TRC\r\nJOB=\"345\"\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",                  // no MODEL
      "\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=1;400;E;R;F\r\n\x1e\x1d",  // other format
      "\x1cREQ=TRC\r\nJOB=345\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",      // job unquoted
      "\x1cREQ=TRC\rJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d",    // CR alone
      "\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1d",      // no RS
  };
  for (std::string_view request : bad) {
    HostSession host(HostConfig{});
    EXPECT_EQ(feedAll(host, bytesOf(request), 1s), Bytes{oma::NAK}) << request;
    EXPECT_EQ(host.outcome(), Outcome::BadRequest);
    EXPECT_FALSE(host.problem().empty());
  }
}

// --- Answer ------------------------------------------------------------------------------------

TEST(HostAnswer, answerArrivingByteByByteDecodesTo800Radii) {
  HostSession host(HostConfig{});
  feedAll(host, kRequest, 1s);
  const std::vector<int> codes = sampleCodes();
  const Bytes answer = oma::answerBytes("Rev.[345]", 2352.0, codes);
  for (std::uint8_t b : answer) {
    EXPECT_EQ(host.outcome(), Outcome::Pending);
    host.received(Bytes{b}, 2s);
  }
  EXPECT_EQ(host.outcome(), Outcome::GoodAnswer) << host.problem();
  EXPECT_EQ(host.radii(), expectedRadii(2352, codes));
  EXPECT_EQ(host.answerJob(), "Rev.[345]");
  EXPECT_TRUE(host.outcomeAsExpected());
}

TEST(HostAnswer, firstRadiusWhoseBytesLookLikeRsGsDoesNotEndTheAnswer) {
  HostSession host(HostConfig{});
  feedAll(host, kRequest, 1s);
  const int first = 29 * 256 + 30;       // sent low byte first: RS, then GS
  const std::vector<int> codes(799, 6);  // ACK codes, all escaped
  host.received(oma::answerBytes("Rev.[1]", first, codes), 2s);
  ASSERT_EQ(host.outcome(), Outcome::GoodAnswer) << host.problem();
  EXPECT_EQ(host.radii(), expectedRadii(first, codes));
}

TEST(HostAnswer, missingOrBrokenAnswersAreToldApartAtTheTimeOut) {
  HostConfig config;
  config.answerTimeout = 3s;
  const Bytes good = oma::answerBytes("Rev.[1]", 2500.0, std::vector<int>(799, 0));

  HostSession silent(config);
  feedAll(silent, kRequest, 10s);
  silent.due(12s);
  EXPECT_EQ(silent.outcome(), Outcome::Pending);
  silent.due(13s);
  EXPECT_EQ(silent.outcome(), Outcome::NoAnswer);

  HostSession cut(config);
  feedAll(cut, kRequest, 10s);
  cut.received(Bytes(good.begin(), good.end() - 1), 11s);  // the final ACK never comes
  cut.due(13s);
  EXPECT_EQ(cut.outcome(), Outcome::BadAnswer);

  Bytes unescaped = good;
  unescaped[unescaped.size() - 10] = oma::CR;  // a framing byte inside the radii
  HostSession broken(config);
  feedAll(broken, kRequest, 10s);
  broken.received(unescaped, 11s);
  broken.due(13s);
  EXPECT_EQ(broken.outcome(), Outcome::BadAnswer);
  EXPECT_FALSE(broken.problem().empty());
}

// --- Misbehaviour on the wire ------------------------------------------------------------------

HostSession misbehaving(Misbehaviour m) {
  HostConfig config;
  config.misbehaviour = m;
  return HostSession(config);
}

int recordsIn(const Bytes& message) {
  int lineEnds = 0;
  for (std::size_t i = 0; i + 1 < message.size(); ++i)
    if (message[i] == oma::CR && message[i + 1] == oma::LF) ++lineEnds;
  return lineEnds;
}

TEST(HostMisbehaviour, eachMisbehaviourShowsOnTheWire) {
  HostSession nak = misbehaving(Misbehaviour::Nak);
  EXPECT_EQ(feedAll(nak, kRequest, 0s), Bytes{oma::NAK});

  HostSession silence = misbehaving(Misbehaviour::Silence);
  EXPECT_TRUE(feedAll(silence, kRequest, 0s).empty());

  HostSession noGs = misbehaving(Misbehaviour::NoGs);
  const Bytes noGsReply = feedAll(noGs, kRequest, 0s);
  EXPECT_EQ(noGsReply.front(), oma::ACK);
  EXPECT_EQ(std::count(noGsReply.begin(), noGsReply.end(), oma::GS), 0);

  // More than the program's 50 records: every CR LF counts twice there.
  HostSession many = misbehaving(Misbehaviour::ManyRecords);
  EXPECT_GT(2 * recordsIn(feedAll(many, kRequest, 0s)), 50);

  HostSession garbage = misbehaving(Misbehaviour::Garbage);
  const Bytes noisy = feedAll(garbage, kRequest, 0s);
  const auto ack = std::find(noisy.begin(), noisy.end(), oma::ACK);
  ASSERT_NE(ack, noisy.end());
  EXPECT_NE(std::find(noisy.begin(), ack, oma::GS), ack) << "the noise carries a stray GS";
  EXPECT_EQ(std::find(noisy.begin(), ack, oma::NAK), ack);
  EXPECT_EQ(noisy.back(), oma::GS);

  HostSession closing = misbehaving(Misbehaviour::CloseMid);
  const Bytes half = feedAll(closing, kRequest, 0s);
  EXPECT_TRUE(closing.closeRequested());
  EXPECT_EQ(std::count(half.begin(), half.end(), oma::GS), 0);
  EXPECT_EQ(closing.outcome(), Outcome::ClosedMidway);
  EXPECT_TRUE(closing.outcomeAsExpected());
}

TEST(HostMisbehaviour, slowHostAcknowledgesAfterFourSecondsAndEndsEightLater) {
  HostSession slow = misbehaving(Misbehaviour::Slow);
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

TEST(HostAgainstProgram, wellBehavedHostsGetTheTraceTheProgramSent) {
  for (Misbehaviour m : {Misbehaviour::None, Misbehaviour::Garbage, Misbehaviour::Slow}) {
    Exchange x(m);
    x.run(15);
    EXPECT_EQ(x.window.text(Control::Text1), texts::kSentOk) << misbehaviourName(m);
    ASSERT_EQ(x.host.outcome(), Outcome::GoodAnswer) << misbehaviourName(m) << ": " << x.host.problem();
    std::vector<int> codes;
    for (int n = 2; n <= 800; ++n) codes.push_back(static_cast<int>(x.state.forma_auxiliar.radius(n)));
    EXPECT_EQ(x.host.radii(), expectedRadii(2500, codes));
    EXPECT_EQ(x.host.answerJob(), "Rev.[345]");
    EXPECT_TRUE(x.host.outcomeAsExpected());
  }
}

TEST(HostAgainstProgram, misbehavingHostsMakeTheProgramGiveUpWithItsMessage) {
  struct Case {
    Misbehaviour m;
    std::string_view text;
  };
  const Case cases[] = {
      {Misbehaviour::Nak, texts::kOmaTimeout},
      {Misbehaviour::Silence, texts::kOmaTimeout},
      {Misbehaviour::NoGs, texts::kOmaTimeout},
      {Misbehaviour::CloseMid, texts::kOmaTimeout},
      {Misbehaviour::ManyRecords, texts::kOutputPortMissing},
  };
  for (const Case& c : cases) {
    Exchange x(c.m);
    x.run(25);
    EXPECT_EQ(x.window.text(Control::Text1), c.text) << misbehaviourName(c.m);
    EXPECT_FALSE(x.send.busy());
    EXPECT_NE(x.host.outcome(), Outcome::GoodAnswer);
    EXPECT_TRUE(x.host.outcomeAsExpected()) << misbehaviourName(c.m);
  }
}

// --- Command line ------------------------------------------------------------------------------

TEST(HostCommandLine, optionsAreReadAndMistakesRefused) {
  std::string error;
  auto a = parseHostArgs(
      {"--com", "6", "--misbehave", "no-gs", "--records", "7", "--once", "--save", "t.oma"}, error);
  ASSERT_TRUE(a) << error;
  EXPECT_EQ(a->com, 6);
  EXPECT_EQ(a->config.misbehaviour, Misbehaviour::NoGs);
  EXPECT_EQ(a->config.records, 7);
  EXPECT_TRUE(a->once);
  EXPECT_EQ(a->savePath, "t.oma");
  for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
           {"--misbehave", "rude"}, {"--records", "-1"}, {"--com", "300"}, {"--save"}}) {
    EXPECT_FALSE(parseHostArgs(wrong, error)) << wrong.front();
  }
}

TEST(HostCommandLine, radiiArePrintedTenToALine) {
  std::vector<int> radii(23);
  for (int i = 0; i < 23; ++i) radii[static_cast<std::size_t>(i)] = 2500 + i;
  const std::string text = formatRadii(radii);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_EQ(text.substr(0, text.find('\n')), "2500 2501 2502 2503 2504 2505 2506 2507 2508 2509");
  EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1), "2520 2521 2522\n");
}

}  // namespace
}  // namespace kovrel::tools
