// The tracer simulator: the reads it sends, the faults it puts in them and its line rate.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "app/header.h"
#include "app/texts.h"
#include "headless_program.h"
#include "line_pacer.h"
#include "read_source.h"

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

// --- Outlines and the command line -----------------------------------------------------------

}  // namespace
}  // namespace kovrel::tools
