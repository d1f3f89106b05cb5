// From the sorted working trace to what the host receives: 800 radii picked at (nearly) equal
// angle steps, in whole hundredths of a millimetre, cleaned of one-row spikes, enlarged by the
// size offsets and coded as one absolute radius followed by 799 byte differences.

#include <algorithm>
#include <cmath>

#include "geometry/prepare_steps.h"
#include "scanner/plot.h"

namespace kovrel::preparation {
namespace {

constexpr double kMaxStep = 127;  // hundredths of mm: the largest difference one byte carries

// Plot coordinate (mm) rounded to 0.1 mm, halves to even.
double toTenths(double mm) { return roundHalfEven(mm * 10) / 10; }

}  // namespace

std::vector<std::pair<double, double>> resample(const TraceTable& trace, TraceTable& out) {
  out.angle(1) = trace.angle(1);
  out.radius(1) = trace.radius(1);
  std::vector<std::pair<double, double>> plotPoints;
  plotPoints.reserve(kRadii - 1);

  double target = kFirstTarget;
  int k = 1;  // the first row beyond a target is never before the one beyond the previous target
  for (int n = 2; n <= kRadii; ++n) {
    while (k <= kPoints && !(trace.angle(k) > target)) ++k;
    int chosen = kPoints;  // no row lies beyond the target: the last row is the nearest one
    if (k <= kPoints) {
      chosen = k;
      // No interpolation: the nearer of the two rows around the target is sent as it is;
      // a tie keeps the row beyond the target.
      if (k != 1 && (target - trace.angle(k - 1)) < (trace.angle(k) - target)) chosen = k - 1;
    }
    out.angle(n) = trace.angle(chosen);
    out.radius(n) = trace.radius(chosen);
    target = target + kTargetStep;

    const double x = out.radius(n) * std::cos(out.angle(n));
    const double y = out.radius(n) * std::sin(out.angle(n));
    plotPoints.emplace_back(kPlotCentre + toTenths(x), kPlotCentre - toTenths(y));
  }
  return plotPoints;
}

void toHundredths(TraceTable& resampled) {
  for (int n = 1; n <= kRadii; ++n) resampled.radius(n) = std::floor(resampled.radius(n) * 100);
}

void filterSpikes(TraceTable& resampled) {
  // Rows are taken in order, so a row already smoothed is the left neighbour of the next.
  for (int n = 2; n < kRadii; ++n) {
    const double d1 = resampled.radius(n) - resampled.radius(n - 1);
    const double d2 = resampled.radius(n + 1) - resampled.radius(n);
    const bool spike = (d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0);
    if (spike && d1 + d2 > -2 && d1 + d2 < 2) {
      resampled.radius(n) = std::floor((resampled.radius(n - 1) + resampled.radius(n + 1)) / 2);
    }
  }
}

Sizes measureSizes(const TraceTable& resampled, double manualMm) {
  // Rows 1, 200, 400 and 600 lie at about 0°, 89.5°, 179.5° and 269.5°.
  Sizes sizes;
  sizes.mida_h = resampled.radius(1) + resampled.radius(400) + 100 * manualMm;
  sizes.mida_v = resampled.radius(200) + resampled.radius(600) + 100 * manualMm;
  return sizes;
}

double applyOffsets(TraceTable& resampled, double manualMm, double lensTypeMm, double generalMm) {
  // The offsets are diameters; half of each goes on every radius, plus a fixed 0.05 mm.
  const double offsetRadi = (manualMm * 100) / 2 + (lensTypeMm * 100) / 2 + (generalMm * 100) / 2;
  for (int n = 1; n <= kRadii; ++n) resampled.radius(n) = resampled.radius(n) + offsetRadi + 5;
  return offsetRadi;
}

std::vector<double> codeDifferences(TraceTable& resampled) {
  std::vector<double> radii(kRadii);
  for (int n = 1; n <= kRadii; ++n) radii[n - 1] = resampled.radius(n);

  // The host rebuilds the outline as a running sum of the codes. A step larger than a byte
  // carries is sent in part, and what is left over is added to the following codes, so the
  // host's outline is back on the true radii a few rows after a sharp corner.
  double decoded = radii[0];
  for (int n = 2; n <= kRadii; ++n) {
    const double difference = radii[n - 1] - decoded;
    const double code = std::clamp(difference, -kMaxStep, kMaxStep);
    decoded = code == difference ? radii[n - 1] : decoded + code;
    resampled.radius(n) = code < 0 ? code + 256 : code;
  }
  return radii;
}

}  // namespace kovrel::preparation
