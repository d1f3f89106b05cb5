// The simulators' own logic: the command lines, the host's side of the exchange (each misbehaviour
// as the program meets it), the tracer's reads (each fault as the program's capture meets it), their
// lines and windows.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <iterator>
#include <numbers>
#include <numeric>
#include <set>
#include <sstream>

#include "../app/gui_test_support.h"
#include "../scanner/capture_rig.h"
#include "base/texts.h"
#include "host/oma_framing.h"
#include "host_args.h"
#include "host_line.h"
#include "host_simulator.h"
#include "line_pacer.h"
#include "outline_view.h"
#include "pty_link.h"
#include "real_links.h"
#include "sim_args.h"
#include "sim_window.h"

namespace kovrel::tools {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), {}};
}

// The documented extremes and every option's value are taken; the rest is refused with a message.
TEST(SimCommandLines, takeTheirDocumentedValuesAndRefuseTheRestWithAMessage) {
  std::string error;
  auto a =
      parseSimArgs(words("generate f --fast --window --start --encoder -h --com 255 --centre 4095 --serial "
                         "ABCD --reads 2 --job 7 --temperature 600 --spread 3 --rate 50 --angleplus 0.5 "
                         "--outline o --fault truncated --record r --replay p"),
                   error);
  EXPECT_TRUE(a && a->streamPath == "f" && a->fast && a->window && a->startNow && a->encoder && a->help &&
              a->com == 255 && *a->centre == 4095 && a->calibration.serial == "ABCD" && a->reads == 2 &&
              a->firstJob == 7 && a->calibration.temperatura == 600 && a->spread == 3 &&
              a->encoderRate == 50 && a->calibration.angleplus == 0.5 && a->outline == "o" &&
              a->fault == Fault::Truncated && a->recordPath == "r" && a->replayPath == "p")
      << error;
  a = parseSimArgs(words("--com 1 --centre 0 --stdout-stream s"), error);
  EXPECT_TRUE(a && a->com == 1 && *a->centre == 0 && a->streamPath == "s" && a->outline == "circle:25" &&
              a->spread == 2 && a->encoderRate == 200);  // the rest as --help and the guide give
  const auto h = parseHostArgs(words("--records 9 --timeout 3 --wait 2 --once --quiet --window -h --save s "
                                     "--misbehave slow --com 255 --tcp [::1]:28000"),
                               error);
  EXPECT_TRUE(h && h->config.records == 9 && h->config.answerTimeout == 3s && h->waitSeconds == 2 &&
              h->once && h->quiet && h->window && h->help && h->savePath == "s" &&
              h->config.misbehaviour == Misbehaviour::Slow && h->com == 255 && h->tcpAddress == "::1" &&
              h->tcpPort == 28000 &&
              parseHostArgs(words("--device /dev/x --com 0"), error).value().waitSeconds == 0);
  for (const char* line :
       {"--com 0", "--com 256", "--centre 4096", "--centre -1", "--serial ABCDE", "--fault x", "--bogus",
        "generate", "generate --fast", "--reads -1", "--angleplus x", "--job", "H--com 0", "H--com 256",
        "H--misbehave x", "H--records -1", "H--what", "H--save"}) {
    error.clear();
    const bool host = line[0] == 'H';
    EXPECT_TRUE(
        !(host ? bool(parseHostArgs(words(line + 1), error)) : bool(parseSimArgs(words(line), error))) &&
        !error.empty())
        << line;
  }
  EXPECT_EQ(formatRadii({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), "0 1 2 3 4 5 6 7 8 9\n10\n");
  EXPECT_EQ(recordPathFor("d/r.bin", 1) + recordPathFor("d/r.bin", 3), "d/r.bind/r-3.bin");
}

// Every misbehaviour against a sound program: what the host writes and when, and the outcome of
// the program answering (or not) as it must.
TEST(HostSessionRuns, eachMisbehaviourRepliesAsNamedAndJudgesTheAnswer) {
  const Bytes answer = oma::answerBytes("L7", 2500, std::vector<int>(799, 1));
  for (Misbehaviour m :
       {Misbehaviour::None, Misbehaviour::Nak, Misbehaviour::Silence, Misbehaviour::NoGs,
        Misbehaviour::ManyRecords, Misbehaviour::Garbage, Misbehaviour::Slow, Misbehaviour::CloseMid}) {
    SCOPED_TRACE(misbehaviourName(m));
    ASSERT_EQ(misbehaviourFromName(misbehaviourName(m)), m);
    HostSession s({m, 3, 20s});
    s.received(Bytes{'x', oma::GS}, 0s);  // noise before the request is not addressed to the host
    s.received(oma::requestBytes("12"), 1s);
    EXPECT_TRUE(s.requestJob() == "12" && s.nextDeadline() == (m == Misbehaviour::Slow      ? 5s
                                                               : m == Misbehaviour::Silence ? 21s
                                                                                            : 1s));
    const Bytes early = s.due(4999ms), message = HostSession::message("12", 3, m);
    const Bytes all = m == Misbehaviour::Slow ? s.due(13s) : early;
    const int ack = m == Misbehaviour::Garbage ? 8 : 0;  // line noise first
    if (m == Misbehaviour::Nak || m == Misbehaviour::Silence) {
      EXPECT_EQ(all, m == Misbehaviour::Nak ? Bytes{oma::NAK} : Bytes{});
    } else if (m == Misbehaviour::CloseMid) {
      EXPECT_TRUE(all.size() == 1 + message.size() / 2 && s.closeRequested());
    } else {
      EXPECT_TRUE(all[ack] == oma::ACK && Bytes(all.begin() + ack + 1, all.end()) == message);
      EXPECT_EQ(std::count(message.begin(), message.end(), oma::LF), m == Misbehaviour::ManyRecords ? 30 : 3);
      EXPECT_EQ(message.back() == oma::GS, m != Misbehaviour::NoGs);
      EXPECT_NE(std::string(message.begin(), message.end()).find("JOB=\"12\"\r\nSTATUS=0\r\n"),
                std::string::npos);
    }
    if (expectsAnswer(m)) s.received(answer, 14s);
    s.due(40s);
    EXPECT_TRUE(s.outcomeAsExpected());
    EXPECT_EQ(s.outcome() == HostSession::Outcome::GoodAnswer, expectsAnswer(m));
    if (!expectsAnswer(m)) continue;
    EXPECT_TRUE(s.answerJob() == "L7" && s.radii().size() == 800u && s.radii()[799] == 3299);
    s.reset();
    s.received(oma::requestBytes("13"), 50s);
    EXPECT_TRUE(s.phase() == HostSession::Phase::Replying && s.requestJob() == "13" && s.radii().empty() &&
                s.answerJob().empty());
  }
  // A request out of shape is refused with NAK; an answer cut short is a bad answer at its time-out.
  Bytes request = oma::requestBytes("12");
  for (std::size_t at : std::initializer_list<std::size_t>{request.size() - 2, 8, 9, 10, 25}) {
    Bytes bad = request;
    bad[at] = 'Z';
    HostSession s({});
    s.received(bad, 0s), s.received(Bytes{oma::GS}, 0s);
    EXPECT_TRUE(s.due(1s) == Bytes{oma::NAK} && s.outcome() == HostSession::Outcome::BadRequest) << at;
    EXPECT_FALSE(s.problem().empty() || s.outcomeAsExpected()) << at;
  }
  HostSession s({});
  s.received(request, 0s), s.due(0s);
  s.received(Bytes(answer.begin(), answer.end() - 1), 1s), s.due(19s);
  EXPECT_EQ(s.outcome(), HostSession::Outcome::Pending);
  s.due(20s);
  EXPECT_TRUE(s.outcome() == HostSession::Outcome::BadAnswer &&
              s.problem() == "answer incomplete: " + std::to_string(answer.size() - 1) + " bytes");
}

// Each fault stops the program's capture the way it is named for; the good read goes through.
TEST(TracerSimReads, eachFaultStopsTheCaptureAsNamedAndThePacerKeepsTheLinesRate) {
  const auto radius = [](const char* form, double angle) {
    std::string error;
    const auto outline = parseOutline(form, error);
    EXPECT_EQ(bool(outline), error.empty()) << form;
    return outline ? (*outline)(angle) : -1.0;
  };
  const double pi = std::numbers::pi;
  EXPECT_NEAR(
      radius("ellipse:30,20", pi / 2) + radius("offcentre:5,0", 0) + radius("offcentre:0,5:circle:9", 0),
      20 + 30 + std::sqrt(56), 1e-6);  // a ray along x meets the moved circle at x*x + 25 = 81
  EXPECT_NEAR(radius("rect:30,20,2", pi / 4), radius("ellipse:30,20", pi / 4), 1e-9);
  EXPECT_GT(radius("rect:30,20", pi / 4), radius("rect:30,20,4", pi / 4));
  for (const char* bad :
       {"circle", "circle:-1", "ellipse:3", "rect:3,2,1,1", "offcentre:30,0", "offcentre:0,-30", "oma:/none",
        "offcentre:1:circle:2", "tri:3", "circle:2x", "offcentre:0,0:circle:-1"})
    EXPECT_EQ(radius(bad, 0), -1.0) << bad;
  toolkit::TracerCalibration cal;
  cal.temperatura = 600;  // a compensation of 3.5 counts moves the innermost position
  cal.angleplus = 0.00035;
  const toolkit::Outline outline = toolkit::ellipse(30, 20);
  const std::tuple<Fault, int, std::string_view> rows[] = {
      {Fault::None, 4099, texts::kReadFinished},
      {Fault::WrongFirstByte, 1, texts::kPressReadFirst},
      {Fault::BelowRange, 1000, texts::kShapeOutOfRange},
      {Fault::HighByte, 1000, texts::kProgramErrorRestart},
      {Fault::Truncated, 2001, ""},
      {Fault::Garbage, 1, texts::kPressReadFirst}};
  for (const auto& [fault, next, message] : rows) {
    SCOPED_TRACE(faultName(fault));
    ASSERT_EQ(faultFromName(faultName(fault)), fault);
    ReadSource source(outline, cal, fault);
    Bytes read = source.read(0x8005);
    EXPECT_EQ(read, source.read(0x8005));
    testing::CaptureRig rig;
    rig.start(), rig.burst(read);
    EXPECT_EQ(rig.state.contadorDadesRebudes, next);
    EXPECT_TRUE(message.empty() || rig.window.text(Control::Text1) == message)
        << rig.window.text(Control::Text1);
    // A finished read took the header's job count and turntable step.
    EXPECT_EQ(rig.state.contador_treballs == 5 && std::abs(rig.state.angleplus - cal.angleplus) < 1e-15,
              fault == Fault::None);
    if (fault != Fault::BelowRange) continue;
    ++read[kHeaderBytes + 2 + 2 * 999 + 1];  // one count higher is inside the limit
    testing::CaptureRig within;
    within.start(), within.burst(read);
    EXPECT_EQ(within.state.contadorDadesRebudes, 4099);
  }
  // The sum asked for, spread out, each sample a count (never < 0), also where the spread reaches 0.
  for (const auto& [mean, spread] : {std::pair{1000.4, 2}, std::pair{0.2, 2}, std::pair{5.0, 20}}) {
    const std::vector<int> centre = centreSamples(mean, spread);
    const auto [low, high] = std::ranges::minmax(centre);
    EXPECT_TRUE(std::accumulate(centre.begin(), centre.end(), 0LL) == std::llround(4095 * mean) && low >= 0 &&
                high - low >= (mean > 1 ? 4 : 1))
        << mean;
  }
  EXPECT_EQ(ReadSource(Bytes{1, 2}).read(9), (Bytes{1, 2}));
  std::set<int> readings;  // the encoder's noise: every count within the spread either side, no other
  for (long n = 0; n < 1000; ++n) readings.insert(encoderReading(n, 1000, 2));
  EXPECT_EQ(readings, (std::set<int>{998, 999, 1000, 1001, 1002}));

  LinePacer pacer;
  pacer.begin(Bytes(5761, 7), 10s);
  EXPECT_TRUE(pacer.due(10s).empty() && pacer.duration() == 1000173612ns);
  EXPECT_EQ(pacer.due(10s + 500ms).size(), 2880u);
  pacer.consumed(2000);
  EXPECT_EQ(pacer.due(11s).size(), 3760u);
  pacer.consumed(9999);
  EXPECT_TRUE(pacer.finished() && !pacer.active() && pacer.due(12s).empty());
}

// On the event loop: the tracer's window follows a read; the host on TCP takes the program's connection
// (or names what it cannot reach), comes back after closing midway and draws the outline it decoded;
// the command-line companion's send stops waiting when done.
TEST(SimulatorsOnTheEventLoop, showTheReadTakeTheProgramComeBackAfterACloseAndStopWaitingWhenDone) {
  testing::guiApplication();
  std::string error, programError;
  const auto line = PtyLink::open(error);
  ReadSource recorded(Bytes{'*', 1, 2});
  TracerSimulator tracer(*line, recorded, {true, {}, 1});  // fast
  SimWindow window(tracer, "COM3", "circle:25", {}, Fault::None);
  auto* const bar = window.findChild<QProgressBar*>();
  EXPECT_EQ(bar->value(), 0);
  tracer.start();  // a read this short goes out at once; then START and the outlines are offered again
  EXPECT_TRUE(bar->value() == 3 && bar->maximum() == 3 && window.findChild<QComboBox*>()->isEnabled() &&
              window.findChild<QPushButton*>()->isEnabled());

  const int port = 40000 + static_cast<int>(::getpid() % 20000);
  const int holder = ::socket(AF_INET, SOCK_STREAM, 0);  // another program on the host's port
  sockaddr_in at{AF_INET, htons(static_cast<std::uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  ASSERT_TRUE(::bind(holder, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(holder, 1) == 0);
  EXPECT_TRUE(!HostLine::tcp("", port, 0, error) && error.starts_with("127.0.0.1:")) << error;
  ::close(holder);  // gone: the next try listens afresh
  auto connecting =
      std::async(std::launch::async, [&] { return HostLine::tcp("127.0.0.1", port, 5, programError); });
  auto hostLine = HostLine::tcp("", port, 0, error);
  const auto program = connecting.get();
  ASSERT_TRUE(hostLine && program) << error << programError;
  EXPECT_TRUE(!HostLine::tcp("a..b", port, 0, error) && error.starts_with("a..b: ")) << error;
  EXPECT_TRUE(line->write(Bytes{'*'}.data(), 1) == 1 &&  // a lone byte goes out on either line
              program->writeAll(Bytes{oma::NAK}.data(), 1));
  int reopened = 0, argc = 1, asked = 0;
  HostSimulator host(
      std::move(hostLine), {Misbehaviour::CloseMid, 3, 20s}, false,
      [&] { return ++reopened, std::unique_ptr<HostLine>(); }, 0ms);
  const Bytes request = oma::requestBytes("12");
  program->writeAll(request.data(), request.size());
  const cli::RealLinksOwner cli(argc, nullptr);
  EXPECT_TRUE(cli.links()->runUntil([&] { return reopened > 0; }, 10000));
  EXPECT_TRUE(cli.links()->runUntil([&] { return ++asked > 0; }, 1000) && asked <= 2);  // done: no wait

  OutlineView view;  // y upwards: the first quarter, twice as far as the rest, up and to the right
  std::vector<int> radii(800, 1000);
  std::fill_n(radii.begin(), 200, 2000);
  view.resize(320, 320), view.setRadii(radii);
  const QImage drawn = view.grab().toImage();  // 144 pixels out at 45 degrees, 72 at -45 (else white)
  EXPECT_TRUE(drawn.pixelColor(262, 58).red() < 160 && drawn.pixelColor(262, 262).red() == 255);
}

}  // namespace
}  // namespace kovrel::tools
