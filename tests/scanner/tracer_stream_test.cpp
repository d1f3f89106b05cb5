#include "common/tracer_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "app/header.h"

namespace kovrel::toolkit {
namespace {

// Field positions and the whole read's layout are checked through the tracer simulator; here the
// values that are easy to get wrong.
TEST(TracerStream, headerKeepsANegativeStepCorrectionAndRefusesWhatDoesNotFit) {
  TracerCalibration cal;
  cal.angleplus = -0.0001234;  // a minus sign leaves two digits of mantissa
  const std::string h = buildHeader(cal);
  ASSERT_EQ(h.size(), 64u);
  EXPECT_DOUBLE_EQ(headerField(h, 15, 3) / std::pow(10.0, headerField(h, 20, 1) + 1), -12 / 1e5);
  EXPECT_DOUBLE_EQ(headerValues(cal).angleplus, -12 / 1e5);
  cal.radi_central = 10;  // four digits of hundredths
  EXPECT_THROW(buildHeader(cal), std::invalid_argument);
}

TEST(TracerStream, samplesAreTheCountsTheArmReadsAboutTheOutlinesOwnCentre) {
  const auto counts = samplesFor(circle(8.0), {});
  ASSERT_EQ(counts.size(), 4096u);
  for (int c : counts) ASSERT_EQ(c, 150);  // the needle at its innermost radius
  TracerCalibration warm;                  // 20 raw units above neutral: 5 counts in, undone by compensation
  warm.temperatura = 634;
  EXPECT_EQ(samplesFor(circle(8.0), warm).front(), 145);
  EXPECT_EQ(samplesFor(circle(2), {}).front(), 0);       // inside the arm's reach
  EXPECT_EQ(samplesFor(circle(200), {}).front(), 4095);  // beyond it
  const Outline moved = offCentre(circle(20), 3, -4);
  for (double a = 0; a < 2 * std::numbers::pi; a += 0.1)
    ASSERT_NEAR(std::hypot(moved(a) * std::cos(a) - 3, moved(a) * std::sin(a) + 4), 20.0, 1e-9) << a;
}

}  // namespace
}  // namespace kovrel::toolkit
