#pragma once
// Working traces built straight from known outlines, and the outline a host rebuilds from the
// coded radii, so the preparation can be judged against the shape that was traced.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "base/trace_table.h"

namespace kovrel::testing {

using OutlineFn = std::function<double(double)>;  // radius (mm) at polar angle (radians)
inline constexpr double kTurn = 2 * std::numbers::pi;

// The working trace a perfect read of `outline` leaves: point n at angle 2π(n−1)/4095.
inline TraceTable traceOf(const OutlineFn& outline) {
  TraceTable t;
  for (int n = 1; n <= 4095; ++n) t.angle(n) = kTurn * (n - 1) / 4095, t.radius(n) = outline(t.angle(n));
  return t;
}

// What the host rebuilds from the coded rows 1..800: the first radius, then the running sum of
// the signed byte codes (hundredths of a millimetre).
inline std::vector<double> decodeAsHost(const TraceTable& coded) {
  std::vector<double> radii{coded.radius(1)};
  for (int n = 2; n <= 800; ++n)
    radii.push_back(radii.back() + coded.radius(n) - (coded.radius(n) > 127 ? 256 : 0));
  return radii;
}

struct Box {
  double width = 0, height = 0, cx = 0, cy = 0;  // mm
};

// Box of radii (mm) equally spaced in angle, point i at 2π·i/N.
inline Box boxOf(const std::vector<double>& radiiMm) {
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (std::size_t i = 0; i < radiiMm.size(); ++i) {
    const double a = kTurn * static_cast<double>(i) / static_cast<double>(radiiMm.size());
    minX = std::min(minX, radiiMm[i] * std::cos(a)), maxX = std::max(maxX, radiiMm[i] * std::cos(a));
    minY = std::min(minY, radiiMm[i] * std::sin(a)), maxY = std::max(maxY, radiiMm[i] * std::sin(a));
  }
  return {maxX - minX, maxY - minY, (minX + maxX) / 2, (minY + maxY) / 2};
}

// The outline seen from the centre of its bounding box, where the preparation puts the origin:
// sampled every 0.05°, re-centred and interpolated linearly in angle.
inline OutlineFn aboutBoxCentre(const OutlineFn& outline, Box* box = nullptr) {
  std::vector<double> radii(7200);
  for (std::size_t i = 0; i < radii.size(); ++i) radii[i] = outline(kTurn * static_cast<double>(i) / 7200);
  const Box b = boxOf(radii);
  if (box) *box = b;
  std::vector<std::pair<double, double>> polar;  // angle (radians, 0..2π), radius (mm)
  for (std::size_t i = 0; i < radii.size(); ++i) {
    const double a = kTurn * static_cast<double>(i) / 7200;
    const double x = radii[i] * std::cos(a) - b.cx, y = radii[i] * std::sin(a) - b.cy;
    polar.emplace_back(std::atan2(y, x) + (y < 0 ? kTurn : 0), std::hypot(x, y));
  }
  std::sort(polar.begin(), polar.end());
  return [polar = std::move(polar)](double a) {
    a = std::fmod(std::fmod(a, kTurn) + kTurn, kTurn);
    const auto above = std::upper_bound(polar.begin(), polar.end(), std::make_pair(a, 0.0));
    const auto& hi = above == polar.end() ? polar.front() : *above;
    const auto& lo = above == polar.begin() ? polar.back() : *(above - 1);
    const double span = std::fmod(hi.first - lo.first + kTurn, kTurn),
                 into = std::fmod(a - lo.first + kTurn, kTurn);
    return lo.second + (hi.second - lo.second) * (span > 0 ? into / span : 0);
  };
}

// On a smooth stretch the probe-tip compensation grows a radius by radi_punta·(1 − sin 90), the
// 90 taken as radians: about 0.066 mm with the 0.625 mm tip; steep flanks get more, never less.
// Every sent radius also carries the 0.05 mm allowance.
inline const double kTipGrowthMm = 0.625 * (1 - std::sin(90.0));
inline constexpr double kAllowanceMm = 0.05;
// The compensation also turns the outline by about 0.8°, which moves the box of an asymmetric
// shape by up to 0.08 mm; a sent radius may come from this far (radians) off its nominal angle.
inline constexpr double kBoxToleranceMm = 0.1;
inline constexpr double kWindowRad = 0.025;

// The host's 800 radii (mm) are `seen` about its box centre, grown by the tip and the allowance.
// `readSlackMm` is the quantisation of a read that came through the tracer's arm (0 for a trace
// built straight from the outline).
inline void expectHostOutline(const std::vector<double>& mm, const OutlineFn& seen, double readSlackMm = 0) {
  ASSERT_EQ(mm.size(), 800u);
  Box want;
  const OutlineFn expected = aboutBoxCentre(seen, &want);
  const Box got = boxOf(mm);
  const double grown = 2 * (kTipGrowthMm + kAllowanceMm);
  EXPECT_NEAR(got.width, want.width + grown, kBoxToleranceMm + 2 * readSlackMm);
  EXPECT_NEAR(got.height, want.height + grown, kBoxToleranceMm + 2 * readSlackMm);
  for (int i = 0; i < 800; ++i) {
    double lo = 1e9, hi = 0;
    for (double d = -kWindowRad; d <= kWindowRad; d += kWindowRad / 50) {
      lo = std::min(lo, expected(kTurn * i / 800 + d));
      hi = std::max(hi, expected(kTurn * i / 800 + d));
    }
    const double r = mm[i] - kAllowanceMm, slack = 0.015 + readSlackMm;  // whole hundredths
    ASSERT_TRUE(r >= lo - slack && r <= hi + kTipGrowthMm + slack) << "radius " << i << ": " << r << " mm";
  }
}

}  // namespace kovrel::testing
