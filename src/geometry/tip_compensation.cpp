// The needle touches the lens with a rounded tip, so the traced outline runs a tip's radius
// away from the edge; each point is pushed out along the local slope of the outline, judged
// from a neighbour a few rows ahead. The plain numbers 90 and 180 below meet angles in radians:
// the lab's edgers were set up against exactly this arithmetic, so it stays as it is.

#include <cmath>
#include <utility>
#include <vector>

#include "geometry/prepare_steps.h"

namespace kovrel::preparation {
namespace {

constexpr double kRightAngle = kPi / 2;  // radians

// Row of the table for a (possibly fractional) neighbour position, rounded as an index is.
// Positions outside the table wrap round the turn instead of reading beyond it.
// The position is first brought within two turns by an even number of turns: the fractional
// part and the parity of the whole part survive, so the rounding picks the same row as it would
// on the raw value, and no filter value, however large, reaches the integer conversion.
int rowAt(double position) {
  if (!std::isfinite(position)) position = 0.0;
  // A position already within two turns (every one a sound filter gives) is its own remainder.
  if (position < 0.0 || position >= 2.0 * kPoints) position = std::fmod(position, 2.0 * kPoints);
  int row = static_cast<int>(roundHalfEven(position));
  if (row < 0 || row > TraceTable::kLastPoint) row = ((row - 1) % kPoints + kPoints) % kPoints + 1;
  return row;
}

// Angular offset (radians) of the compensated point: arctan(q / r), with the limit a point at
// the turntable centre tends to instead of a division by zero.
double angleOffset(double q, double radius) {
  if (radius == 0.0) return q == 0.0 ? 0.0 : std::copysign(kRightAngle, q);
  return std::atan(q / radius);
}

struct Neighbour {
  double radius = 0.0;  // mm
  double angle = 0.0;   // radians
  double d = 0.0;       // angle from the point to the neighbour, radians
  double dr = 0.0;      // mm
};

Neighbour lookAt(const TraceTable& trace, double position, double pointAngle, double pointRadius) {
  Neighbour n;
  if (position > kPoints) position -= kPoints;
  const int row = rowAt(position);
  n.radius = trace.radius(row);
  // Past the last row the turn is complete: the neighbour's angle is one turn further on.
  n.angle = position < kPoints ? trace.angle(row) : trace.angle(row) + kTipTwoPi;
  n.d = n.angle - pointAngle;
  n.dr = n.radius - pointRadius;
  return n;
}

}  // namespace

void compensateTip(TraceTable& trace, double tipRadius, double filterscope) {
  std::vector<std::pair<double, double>> compensated(kPoints);  // angle (radians), radius (mm)
  double s = filterscope;
  for (int i = 1; i <= kPoints; ++i) {
    const double ai = trace.angle(i);
    const double ri = trace.radius(i);

    // While s is small, a neighbour more than 2 mm away radially (a notch, a step) is skipped
    // for the next one; the first row always takes its neighbour as it comes.
    Neighbour n = lookAt(trace, s, ai, ri);
    for (int j = 1; i != 1 && s <= 100 && (n.dr > 2 || n.dr < -2) && j <= 2 * kPoints; ++j) {
      n = lookAt(trace, s + j, ai, ri);
    }

    const bool fromNeighbour = n.dr <= 0;
    const double dr = fromNeighbour ? -n.dr : n.dr;
    const double h = (fromNeighbour ? n.radius : ri) * std::sin(n.d);
    const double e = 90 - n.d;
    // A neighbour at the point's own angle gives no slope: flat when the radii agree,
    // a radial wall when they do not.
    const double t = h == 0.0 ? (dr == 0.0 ? 0.0 : kRightAngle) : std::atan(dr / h);
    const double u = (180 - t) - e;
    // The tip's offsets across and along the slope: p = radius·sin(u) and q = p / tan(u), taken
    // as radius·cos(u), which also holds where tan(u) vanishes.
    const double p = tipRadius * std::sin(u);
    const double q = tipRadius * std::cos(u);
    const double g = tipRadius - p;

    if (fromNeighbour) {
      compensated[i - 1] = {n.angle - angleOffset(q, n.radius), n.radius + g};
    } else {
      compensated[i - 1] = {ai + angleOffset(q, ri), ri + g};
    }
    s = s + 1;
  }
  for (int i = 1; i <= kPoints; ++i) {
    trace.angle(i) = compensated[i - 1].first;
    trace.radius(i) = compensated[i - 1].second;
  }
}

}  // namespace kovrel::preparation
