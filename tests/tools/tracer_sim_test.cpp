// The tracer simulator: the reads it sends, the faults it puts in them, its line rate and its
// pseudo-terminal.

#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cmath>
#include <iterator>
#include <numbers>
#include <sstream>

#include "app/header.h"
#include "app/texts.h"
#include "headless_program.h"
#include "host_line.h"
#include "line_pacer.h"
#include "pty_link.h"
#include "read_source.h"
#include "sim_args.h"

namespace kovrel::tools {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kReadBytes = 8262;

int word(const Bytes& b, std::size_t at) { return 256 * b.at(at) + b.at(at + 1); }
std::size_t sampleAt(int n) { return 64 + 2 + 2 * static_cast<std::size_t>(n - 1); }

ReadSource circleSource(toolkit::TracerCalibration cal = {}) {
  return ReadSource(toolkit::circle(25.0), std::move(cal), Fault::None);
}

// --- The reads it sends ----------------------------------------------------------------------

TEST(TracerRead, readCarriesTheCalibrationTemperatureSamplesAndJobWords) {
  toolkit::TracerCalibration cal;
  cal.temperatura = 634;
  cal.polsoseix = 152.3;
  cal.midaradi = 60.125;
  cal.angleplus = 0.00123;
  cal.obertura_brac = 51.75;
  cal.radi_central = 7.5;
  cal.serial = "0061";
  ReadSource source = circleSource(cal);
  const Bytes first = source.read(12), second = source.read(13), wrapped = source.read(32768 + 7);

  ASSERT_EQ(first.size(), kReadBytes);
  EXPECT_EQ(std::string(first.begin(), first.begin() + 3), "***");
  const std::string header(first.begin(), first.begin() + 64);
  EXPECT_DOUBLE_EQ(headerField(header, 4, 4) / 10, 152.3);
  EXPECT_DOUBLE_EQ(headerField(header, 9, 5) / 1000, 60.125);
  EXPECT_DOUBLE_EQ(headerField(header, 15, 3) / std::pow(10.0, headerField(header, 20, 1) + 1), 0.00123);
  EXPECT_DOUBLE_EQ(headerField(header, 22, 4) / 100, 51.75);
  EXPECT_DOUBLE_EQ(headerField(header, 27, 3) / 100, 7.5);
  EXPECT_EQ(header.substr(30, 4), "0061");
  EXPECT_EQ(word(first, 64), 634);
  EXPECT_EQ(word(first, kReadBytes - 4), 12);
  EXPECT_EQ(word(first, kReadBytes - 2), 12);
  // The machine counts its jobs: only the trailer changes from one read to the next, and the
  // counter stays a whole count the program accepts.
  EXPECT_EQ(word(second, kReadBytes - 2), 13);
  EXPECT_TRUE(std::equal(first.begin(), first.end() - 4, second.begin()));
  EXPECT_LT(wrapped.at(kReadBytes - 2), 128);
  EXPECT_EQ(word(wrapped, kReadBytes - 2), 7);

  const Bytes recorded = {'*', 1, 2, 3};  // a recorded read is sent unchanged whatever the job
  ReadSource replay(recorded);
  EXPECT_EQ(replay.read(1), recorded);
  EXPECT_EQ(replay.read(99), recorded);
}

// --- Faults ----------------------------------------------------------------------------------

TEST(TracerFaults, eachFaultSpoilsOnlyWhatItNames) {
  const toolkit::TracerCalibration cal;
  const Bytes good = circleSource(cal).read(1);

  const Bytes wrongFirst = applyFault(good, Fault::WrongFirstByte, cal);
  EXPECT_EQ(wrongFirst.at(0), '#');
  EXPECT_TRUE(std::equal(good.begin() + 1, good.end(), wrongFirst.begin() + 1));

  Bytes highByte = applyFault(good, Fault::HighByte, cal);
  EXPECT_GE(highByte.at(sampleAt(kSpoiltSample)), 128);
  highByte.at(sampleAt(kSpoiltSample)) = good.at(sampleAt(kSpoiltSample));
  EXPECT_EQ(highByte, good);

  const Bytes truncated = applyFault(good, Fault::Truncated, cal);
  EXPECT_EQ(truncated.size(), sampleAt(kTruncatedSamples + 1));
  EXPECT_TRUE(std::equal(truncated.begin(), truncated.end(), good.begin()));

  const Bytes garbage = applyFault(good, Fault::Garbage, cal);
  EXPECT_EQ(garbage.size(), kReadBytes);
  EXPECT_NE(garbage.at(0), '*');
  EXPECT_EQ(garbage, applyFault(good, Fault::Garbage, cal)) << "noise must be the same every run";
}

// The spoilt sample must sit exactly one count past the program's limit, whatever the
// temperature shifts the innermost count by (limited to 9 counts either way).
TEST(TracerFaults, belowRangeSampleIsOneCountPastTheProgramsLimitAtAnyTemperature) {
  for (int temperature : {614, 634, 636, 700, 560}) {
    SCOPED_TRACE(temperature);
    toolkit::TracerCalibration cal;
    cal.temperatura = temperature;
    Bytes spoilt = applyFault(circleSource(cal).read(1), Fault::BelowRange, cal);
    cli::HeadlessProgram stopped(3, 0);
    EXPECT_FALSE(stopped.read(spoilt));
    EXPECT_EQ(stopped.message(), texts::kShapeOutOfRange);

    const int oneHigher = word(spoilt, sampleAt(kSpoiltSample)) + 1;
    spoilt.at(sampleAt(kSpoiltSample)) = static_cast<std::uint8_t>(oneHigher >> 8);
    spoilt.at(sampleAt(kSpoiltSample) + 1) = static_cast<std::uint8_t>(oneHigher & 0xFF);
    cli::HeadlessProgram accepted(3, 0);
    EXPECT_TRUE(accepted.read(spoilt)) << accepted.message();
  }
}

// --- Line rate -------------------------------------------------------------------------------

TEST(LinePacing, bytesBecomeDueAtTheMachinesLineRateWithoutDriftAndRefusedOnesStayDue) {
  LinePacer pacer;
  const auto t0 = 1000s;
  pacer.begin(Bytes(kReadBytes, 0x55), t0);
  EXPECT_TRUE(pacer.due(t0).empty());
  EXPECT_TRUE(pacer.due(t0 + 173us).empty()) << "a byte takes 10 bit times of 1/57600 s";
  EXPECT_EQ(pacer.due(t0 + 174us).size(), 1u);
  EXPECT_EQ(pacer.duration(), 1'434'375'000ns);  // 8262 / 5760 s
  EXPECT_EQ(pacer.due(t0 + pacer.duration() - 1ns).size(), kReadBytes - 1);
  EXPECT_EQ(pacer.due(t0 + pacer.duration()).size(), kReadBytes);

  EXPECT_EQ(pacer.due(t0 + 100ms).size(), 576u);
  pacer.consumed(10);  // the line took only 10 of them
  // The next tick comes 900 ms late: it hands over everything due since the start.
  EXPECT_EQ(pacer.due(t0 + 1s).size(), 5750u);
  pacer.consumed(pacer.due(t0 + 1s).size());
  EXPECT_EQ(pacer.sent(), 5760u);
  EXPECT_TRUE(pacer.due(t0 + 1s).empty());
  EXPECT_FALSE(pacer.finished());
  pacer.consumed(pacer.due(t0 + 2s).size());
  EXPECT_TRUE(pacer.finished());

  LinePacer fast(0);
  fast.begin(Bytes(kReadBytes, 0x55), 7s);
  EXPECT_EQ(fast.due(7s).size(), kReadBytes);
}

// --- The pseudo-terminal ---------------------------------------------------------------------

TEST(TracerLine, everyByteValueReachesTheProgramUnchanged) {
  std::string error;
  auto link = PtyLink::open(error);
  ASSERT_TRUE(link) << error;
  auto reader = HostLine::open(link->devicePath(), error);
  ASSERT_TRUE(reader) << error;
  // CR, LF, XON/XOFF, interrupt characters and bytes above 127 all occur in a read.
  Bytes sent, got;
  for (int b = 0; b < 4 * 256; ++b) sent.push_back(static_cast<std::uint8_t>(b));
  std::size_t written = 0;
  for (int tries = 0; tries < 1000 && got.size() < sent.size(); ++tries) {
    if (written < sent.size()) {
      const long n = link->write(sent.data() + written, sent.size() - written);
      ASSERT_GE(n, 0);
      written += static_cast<std::size_t>(n);
    }
    pollfd p{reader->fd(), POLLIN, 0};
    ::poll(&p, 1, 100);
    std::uint8_t buffer[512];
    const long n = reader->read(buffer, sizeof buffer);
    ASSERT_GE(n, 0);
    got.insert(got.end(), buffer, buffer + n);
  }
  EXPECT_EQ(got, sent);
  EXPECT_EQ(link->unread(), 0u);
}

// --- Outlines and the command line -----------------------------------------------------------

TEST(OutlineForm, writtenFormsAndFrameFilesGiveTheirShapesAndMistakesAreRefusedWithAReason) {
  const std::string oma = std::string("oma:") + KOVREL_FIXTURES + "/oma/";
  std::string error;
  struct Row {
    std::string form;
    double angle;   // radians
    double radius;  // mm expected there
  };
  for (const Row& row :
       {Row{"circle:25", 1.0, 25.0}, Row{"ellipse:28,20", 0.0, 28.0},
        Row{"ellipse:28,20", std::numbers::pi / 2, 20.0}, Row{"rect:26,18", 0.0, 26.0},
        Row{"rect:26,18,2", std::numbers::pi / 2, 18.0}, Row{"offcentre:2,0", 0.0, 27.0},
        Row{"offcentre:2,0", std::numbers::pi, 23.0},
        Row{"offcentre:0,-3:ellipse:28,20", std::numbers::pi / 2, 17.0}, Row{oma + "R360_1.oma", 0.0, 26.43},
        Row{oma + "R360_1.oma", std::numbers::pi / 180, 26.56}}) {
    auto outline = parseOutline(row.form, error);
    ASSERT_TRUE(outline) << row.form << ": " << error;
    EXPECT_NEAR((*outline)(row.angle), row.radius, 1e-9) << row.form;
  }
  for (const std::string& form : std::vector<std::string>{
           "circle", "circle:", "circle:-3", "circle:25mm", "ellipse:28", "rect:1,2,3,4", "square:3",
           "offcentre:30,0", "offcentre:1,1:circle:x", oma + "no-such-file.oma", oma + "TRCFMT6.oma"}) {
    error.clear();
    EXPECT_FALSE(parseOutline(form, error)) << form;
    EXPECT_FALSE(error.empty()) << form;
  }
}

TEST(SimCommandLine, generateWritesOneReadOptionsAreCheckedAndLaterReadsRecordedBeside) {
  std::string error;
  auto a = parseSimArgs(
      {"generate", "out.bin", "--outline", "ellipse:28,20", "--fault", "high-byte", "--job", "345"}, error);
  ASSERT_TRUE(a) << error;
  EXPECT_EQ(a->streamPath, "out.bin");
  EXPECT_EQ(a->fault, Fault::HighByte);
  EXPECT_EQ(a->firstJob, 345);
  for (const char* wrong :
       {"--fault dropped-bit", "--serial 12345", "--com 0", "--com", "generate", "--speed 1"}) {
    std::istringstream in(wrong);
    EXPECT_FALSE(parseSimArgs({std::istream_iterator<std::string>(in), {}}, error)) << wrong;
  }
  EXPECT_EQ(recordPathFor("dir/read.bin", 1), "dir/read.bin");
  EXPECT_EQ(recordPathFor("dir/read.bin", 2), "dir/read-2.bin");
  EXPECT_EQ(recordPathFor("read", 3), "read-3");
}

}  // namespace
}  // namespace kovrel::tools
