#include "geometry/foreign_trace.h"

#include <cmath>
#include <numbers>

namespace kovrel {

TraceTable workingTraceFromRadii(const std::vector<int>& radii) {
  TraceTable trace;
  if (radii.empty()) return trace;
  constexpr int kPoints = 4095;
  const auto count = static_cast<double>(radii.size());
  for (int n = 1; n <= kPoints; ++n) {
    const double turn = static_cast<double>(n - 1) / kPoints;  // 0..1
    const double position = turn * count;
    const auto below = static_cast<std::size_t>(std::floor(position));
    const double fraction = position - std::floor(position);
    const int r0 = radii[below % radii.size()];
    const int r1 = radii[(below + 1) % radii.size()];
    trace.angle(n) = 2 * std::numbers::pi * turn;
    trace.radius(n) = (r0 + fraction * (r1 - r0)) / 100.0;
  }
  return trace;
}

}  // namespace kovrel
