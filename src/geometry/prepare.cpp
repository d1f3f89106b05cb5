#include "geometry/prepare.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "geometry/prepare_steps.h"

namespace kovrel {
namespace preparation {

void toPolar(double x, double y, double& angle, double& radius) {
  if (x == 0.0 || y == 0.0) return;
  if (x > 0.0 && y > 0.0) {
    angle = std::atan(y / x);
  } else if (x < 0.0) {
    angle = std::atan(y / x) + kPi;
  } else {
    angle = kTwoPi + std::atan(y / x);
  }
  radius = std::sqrt(x * x + y * y);
}

int minimumAngleRow(const TraceTable& trace) {
  int start = 1;
  double smallest = 10.0;
  for (int i = 1; i <= kPoints; ++i) {
    if (trace.angle(i) < smallest) {
      smallest = trace.angle(i);
      start = i;
    }
  }
  return start;
}

namespace {

// Reverses rows first..last in place.
void reverseRows(TraceTable& trace, int first, int last) {
  for (; first < last; ++first, --last) {
    std::swap(trace.angle(first), trace.angle(last));
    std::swap(trace.radius(first), trace.radius(last));
  }
}

}  // namespace

void rotateToStart(TraceTable& trace, int start, bool reversed) {
  // Row 4096 closes the turntable's turn and repeats row 1: after row 4095 comes row 1.
  // Rows start..4095 then 1..start-1 is [B A] for A = rows before `start`, B = the rest;
  // reversing A and B in place gives that sequence backwards, and one more reversal forwards.
  reverseRows(trace, 1, start - 1);
  reverseRows(trace, start, kPoints);
  if (!reversed) reverseRows(trace, 1, kPoints);
}

namespace {

// Rows 1..4095 of `read` turned by `turn` and mirrored: the point (x, y) in mm about the
// turntable centre.
struct Turned {
  double x = 0.0;
  double y = 0.0;
};

Turned turned(const TraceTable& read, int i, double turn, double signX, double signY) {
  const double a = read.angle(i) + turn;
  const double r = read.radius(i);
  return {std::cos(a) * (r * signX), std::sin(a) * (r * signY)};
}

// The polar form a turned row takes: a point on an axis keeps the row's own angle and radius.
void turnedPolar(const TraceTable& read, int i, double turn, double signX, double signY, double& angle,
                 double& radius) {
  angle = read.angle(i);
  radius = read.radius(i);
  const Turned t = turned(read, i, turn, signX, signY);
  toPolar(t.x, t.y, angle, radius);
}

// The angle is kept with the program's own π (kPi, kTwoPi), a hair above the true one, so a point
// read back from it is turned by that excess: left of the y axis by kPi − π, below the x axis on
// its right by kTwoPi − 2π. The turned point is used as it is, turned by the same excess.
const double kLeftExcess = kPi - 3.14159265358979323846;           // radians
const double kLowerRightExcess = kTwoPi - 6.28318530717958647692;  // radians

// How the turned point of a row is known: from x and y alone, or through its polar form.
enum class Kind : unsigned char {
  FirstQuadrant,  // x > 0, y > 0: its angle is atan(y / x), below every angle of the others
  Elsewhere,      // x < 0, or x > 0 > y
  Polar,          // on an axis, out of the range where x, y and their polar form agree, or NaN
};

struct Row {
  double x = 0.0;    // mm, the point the centring moves
  double y = 0.0;    // mm
  double key = 0.0;  // FirstQuadrant: y / x; Polar: its angle (radians)
  Kind kind = Kind::Polar;
};

// Beyond this a squared coordinate overflows and the polar form no longer gives the point back.
constexpr double kPlainRange = 1e150;  // mm

}  // namespace

BoxCentre turnAndCentre(const TraceTable& read, TraceTable& trace, double turn, double signX, double signY,
                        bool mirrored) {
  std::vector<Row> rows(kPoints + 1);  // index = row of `read`
  double smallestSlope = std::numeric_limits<double>::infinity();
  bool anyFirstQuadrant = false;
  for (int i = 1; i <= kPoints; ++i) {
    const Turned t = turned(read, i, turn, signX, signY);
    Row& row = rows[i];
    const bool plain =
        t.x != 0.0 && t.y != 0.0 && std::fabs(t.x) < kPlainRange && std::fabs(t.y) < kPlainRange;
    if (!plain) {
      double angle = read.angle(i), radius = read.radius(i);
      toPolar(t.x, t.y, angle, radius);
      row = {radius * std::cos(angle), radius * std::sin(angle), angle, Kind::Polar};
    } else if (t.x < 0.0) {
      row = {t.x - t.y * kLeftExcess, t.y + t.x * kLeftExcess, 0.0, Kind::Elsewhere};
    } else if (t.y < 0.0) {
      row = {t.x - t.y * kLowerRightExcess, t.y + t.x * kLowerRightExcess, 0.0, Kind::Elsewhere};
    } else {
      const double slope = t.y / t.x;
      row = {t.x, t.y, slope, Kind::FirstQuadrant};
      anyFirstQuadrant = true;
      if (slope < smallestSlope) smallestSlope = slope;
    }
  }

  // The row with the smallest angle (the first of equals) opens the trace. With any point in the
  // first quadrant only those and the points held in polar form can hold it, and of the first
  // quadrant only the slopes next to the smallest one: the arctangent keeps the order of
  // slopes, and far apart slopes never round to the same angle.
  const double slopeReach =
      smallestSlope < 1e4 ? smallestSlope * (1 + 1e-6) : std::numeric_limits<double>::infinity();
  int start = 1;
  double smallest = 10.0;
  for (int i = 1; i <= kPoints; ++i) {
    const Row& row = rows[i];
    double angle;
    if (row.kind == Kind::Polar) {
      angle = row.key;
    } else if (row.kind == Kind::FirstQuadrant) {
      if (row.key > slopeReach) continue;
      angle = std::atan(row.key);
    } else {
      if (anyFirstQuadrant) continue;
      double radius;
      turnedPolar(read, i, turn, signX, signY, angle, radius);
    }
    if (angle < smallest) {
      smallest = angle;
      start = i;
    }
  }

  double maxX = 0.0, minX = 0.0, maxY = 0.0, minY = 0.0;
  for (int i = 1; i <= kPoints; ++i) {
    const double x = rows[i].x, y = rows[i].y;
    if (x > maxX) maxX = x;
    if (x < minX) minX = x;
    if (y > maxY) maxY = y;
    if (y < minY) minY = y;
  }
  const BoxCentre centre{(minX + maxX) / 2, (minY + maxY) / 2};

  // Rows start..4095 then 1..start-1 (row 4096 closes the turn and repeats row 1); a mirrored
  // trace runs clockwise and is laid out backwards, from the row before `start` down.
  for (int k = 1; k <= kPoints; ++k) {
    const int from = !mirrored ? (k <= kPoints - start + 1 ? start + k - 1 : k - (kPoints - start + 1))
                               : (k < start ? start - k : kPoints - (k - start));
    const double x = rows[from].x - centre.x, y = rows[from].y - centre.y;
    if (x == 0.0 || y == 0.0) {
      // A point on an axis of the box keeps the polar form it had before the centring.
      turnedPolar(read, from, turn, signX, signY, trace.angle(k), trace.radius(k));
    } else {
      toPolar(x, y, trace.angle(k), trace.radius(k));
    }
  }
  rotateToStart(trace, minimumAngleRow(trace), false);
  return centre;
}

}  // namespace preparation

double probeTipRadius(const std::string& serial_number) {
  // Tracers from serial 61 on carry the thicker needle; "777777" (read without the device
  // header) counts as a recent one.
  return readNumber(serial_number) < 61 ? 0.625 : 0.65;
}

PreparedShape prepareShape(const TraceTable& forma_treball, const PrepareInputs& inputs) {
  using namespace preparation;
  TraceTable trace = forma_treball;  // the read itself stays as the operator left it
  turnAndCentre(forma_treball, trace, inputs.gir_acumulat, inputs.signe_x, inputs.signe_y,
                inputs.signe_x == -1);
  compensateTip(trace, probeTipRadius(inputs.serial_number), inputs.filterscope);
  normaliseAndSortSeam(trace);

  PreparedShape shape;
  shape.plotPoints = resample(trace, shape.forma_auxiliar);
  toHundredths(shape.forma_auxiliar);
  filterSpikes(shape.forma_auxiliar);
  const Sizes sizes = measureSizes(shape.forma_auxiliar, inputs.manualOffsetMm);
  shape.mida_h = sizes.mida_h;
  shape.mida_v = sizes.mida_v;
  shape.offset_radi =
      applyOffsets(shape.forma_auxiliar, inputs.manualOffsetMm, inputs.normalOaire, inputs.OffsetMida);
  shape.radii = codeDifferences(shape.forma_auxiliar);
  return shape;
}

}  // namespace kovrel
