#include "settings/default_settings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kovrel {
namespace {

using D = DefaultCalibration;

// Needle distance from the centre, mm, for a raw count of the radius channel (the capture's arm
// geometry). The installed file's values are checked where a missing file is replaced by it.
double radiusForCount(double count) {
  const double centralAngle = 2 * std::asin(D::radi_central / 2 / D::midaradi);  // radians
  const double travelled = D::carrera - (4095 - count);                          // counts
  return 2 * D::midaradi * std::sin((travelled * D::grausperpols + centralAngle) / 2);
}

TEST(DefaultCalibration, describesOneArmThatReadsATwentyFiveMillimetreLens) {
  const double innermost = 2 * std::asin(D::radi_central / 2 / D::midaradi);  // radians
  EXPECT_EQ(D::carrera, 4095 - D::polsoseix);
  EXPECT_NEAR(D::grausperpols, 2 * std::asin(D::obertura_brac / 2 / D::midaradi) / D::carrera, 1e-18);
  EXPECT_NEAR(radiusForCount(D::polsoseix), D::radi_central, 1e-12);
  EXPECT_NEAR(2 * D::midaradi * std::sin(D::carrera * D::grausperpols / 2), D::obertura_brac, 1e-9);

  const double theta = 2 * std::asin(25.0 / 2 / D::midaradi);  // arm angle, radians
  const double count = (theta - innermost) / D::grausperpols - D::carrera + 4095;
  EXPECT_TRUE(count > D::polsoseix && count < 4095) << count;
  EXPECT_NEAR(radiusForCount(count), 25.0, 1e-9);
}

}  // namespace
}  // namespace kovrel
