#include "common/tracer_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "app/header.h"

namespace kovrel::toolkit {
namespace {

TEST(TracerStream, headerHoldsTheCalibrationWhereTheProgramReadsIt) {
  TracerCalibration cal;
  cal.polsoseix = 152.3;
  cal.midaradi = 59.875;
  cal.angleplus = -0.0001234;  // a minus sign leaves two digits of mantissa
  cal.obertura_brac = 51.72;
  cal.radi_central = 7.95;
  cal.serial = "A7B9";
  const std::string h = buildHeader(cal);
  ASSERT_EQ(h.size(), 64u);
  EXPECT_EQ(h.substr(0, 3), "***");
  EXPECT_DOUBLE_EQ(headerField(h, 4, 4) / 10, 152.3);
  EXPECT_DOUBLE_EQ(headerField(h, 9, 5) / 1000, 59.875);
  EXPECT_DOUBLE_EQ(headerField(h, 15, 3) / std::pow(10.0, headerField(h, 20, 1) + 1), -12 / 1e5);
  EXPECT_DOUBLE_EQ(headerValues(cal).angleplus, -12 / 1e5);
  EXPECT_DOUBLE_EQ(headerField(h, 22, 4) / 100, 51.72);
  EXPECT_DOUBLE_EQ(headerField(h, 27, 3) / 100, 7.95);
  EXPECT_EQ(h.substr(30, 4), "A7B9");
  cal.radi_central = 10;  // four digits of hundredths
  EXPECT_THROW(buildHeader(cal), std::invalid_argument);
}

TEST(TracerStream, needleAtItsInnermostRadiusReadsTheInnermostCount) {
  const auto counts = samplesFor(circle(8.0), {});
  ASSERT_EQ(counts.size(), 4096u);
  EXPECT_TRUE(std::all_of(counts.begin(), counts.end(), [](int c) { return c == 150; }));
  TracerCalibration warm;  // 20 raw units above neutral: 5 counts in, which compensation undoes
  warm.temperatura = 634;
  EXPECT_EQ(samplesFor(circle(8.0), warm).front(), 145);
  EXPECT_EQ(samplesFor(circle(2), {}).front(), 0);       // inside the arm's reach
  EXPECT_EQ(samplesFor(circle(200), {}).front(), 4095);  // beyond it
}

TEST(TracerStream, wholeReadIsHeaderTemperatureSamplesAndTwoJobWords) {
  TracerCalibration cal;
  cal.temperatura = 0x0266;
  const auto bytes = buildStream(circle(25), cal, 0x0102, 0x7FFE);
  ASSERT_EQ(bytes.size(), 8262u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 64), buildHeader(cal));
  EXPECT_TRUE(bytes[64] == 0x02 && bytes[65] == 0x66);
  EXPECT_EQ(bytes[66] * 256 + bytes[67], samplesFor(circle(25), cal).front());
  EXPECT_TRUE(bytes[8258] == 0x01 && bytes[8259] == 0x02 && bytes[8260] == 0x7F && bytes[8261] == 0xFE);
}

TEST(TracerStream, offCentreOutlineKeepsItsShapeAboutItsOwnCentre) {
  const Outline moved = offCentre(circle(20), 3, -4);
  for (double a = 0; a < 2 * std::numbers::pi; a += 0.1)
    ASSERT_NEAR(std::hypot(moved(a) * std::cos(a) - 3, moved(a) * std::sin(a) + 4), 20.0, 1e-9) << a;
}

}  // namespace
}  // namespace kovrel::toolkit
