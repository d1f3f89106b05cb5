#include "geometry/prepare.h"

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "geometry/prepare_steps.h"

namespace kovrel {
namespace preparation {

void toPolar(double x, double y, double& angle, double& radius) {
  if (x == 0.0 && y == 0.0) {
    radius = 0.0;  // the centre itself: no direction to take, so the row keeps its angle
    return;
  }
  if (x == 0.0) {
    angle = y > 0.0 ? kPi / 2 : kPi * 1.5;
  } else if (x > 0.0 && y >= 0.0) {
    angle = std::atan(y / x);
  } else if (x < 0.0) {
    angle = std::atan(y / x) + kPi;
  } else {
    angle = kTwoPi + std::atan(y / x);
  }
  radius = std::sqrt(x * x + y * y);
}

void turnAndMirror(TraceTable& trace, double turn, double signX, double signY) {
  for (int i = 1; i <= kPoints; ++i) {
    const double a = trace.angle(i) + turn;
    const double r = trace.radius(i);
    const double x = std::cos(a) * (r * signX);
    const double y = std::sin(a) * (r * signY);
    toPolar(x, y, trace.angle(i), trace.radius(i));
  }
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

void orderFromMinimum(TraceTable& trace, bool mirrored) {
  // A mirrored trace runs clockwise; laying it out backwards from its smallest angle makes the
  // angles grow with the row again, except the smallest one, which ends up in the last row
  // until centring puts it first.
  rotateToStart(trace, minimumAngleRow(trace), mirrored);
}

BoxCentre centreOnBox(TraceTable& trace) {
  std::vector<std::array<double, 2>> xy(kPoints + 1);  // mm, index = row
  double maxX = 0.0, minX = 0.0, maxY = 0.0, minY = 0.0;
  for (int i = 1; i <= kPoints; ++i) {
    const double x = trace.radius(i) * std::cos(trace.angle(i));
    const double y = trace.radius(i) * std::sin(trace.angle(i));
    xy[i] = {x, y};
    if (x > maxX) maxX = x;
    if (x < minX) minX = x;
    if (y > maxY) maxY = y;
    if (y < minY) minY = y;
  }
  const BoxCentre centre{(minX + maxX) / 2, (minY + maxY) / 2};
  for (int i = 1; i <= kPoints; ++i)
    toPolar(xy[i][0] - centre.x, xy[i][1] - centre.y, trace.angle(i), trace.radius(i));
  rotateToStart(trace, minimumAngleRow(trace), false);
  return centre;
}

}  // namespace preparation

double probeTipRadius(const std::string& serial_number) {
  // Tracers from serial 61 on carry the thicker needle; "777777" (read without the device
  // header) counts as a recent one.
  return readNumber(serial_number) < 61 ? 0.625 : 0.65;
}

PrepareInputs preparationInputs(const SharedState& state, double manualOffsetMm, double filterscope) {
  PrepareInputs in;
  in.gir_acumulat = state.gir_acumulat;
  in.signe_x = state.signe_x.toNumber() < 0 ? -1 : 1;
  in.signe_y = state.signe_y.toNumber() < 0 ? -1 : 1;
  in.serial_number = state.serial_number;
  in.filterscope = filterscope;
  in.manualOffsetMm = manualOffsetMm;
  in.normalOaire = state.normalOaire.toNumber();
  in.OffsetMida = state.OffsetMida.toNumber();
  in.edgeOutline = state.forma_de_fitxer == 1;
  return in;
}

PreparedShape prepareShape(const TraceTable& forma_treball, const PrepareInputs& inputs) {
  using namespace preparation;
  TraceTable trace = forma_treball;  // the read itself stays as the operator left it
  turnAndMirror(trace, inputs.gir_acumulat, inputs.signe_x, inputs.signe_y);
  orderFromMinimum(trace, inputs.signe_x == -1);
  centreOnBox(trace);
  if (!inputs.edgeOutline) compensateTip(trace, probeTipRadius(inputs.serial_number), inputs.filterscope);
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
