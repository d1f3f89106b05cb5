#pragma once
// Working traces built straight from known outlines, and the outline a host rebuilds from the
// coded radii, so the preparation can be judged against the shape that was traced.

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "app/trace_table.h"

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

}  // namespace kovrel::testing
