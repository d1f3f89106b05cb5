#pragma once
// The stages of the preparation of a shape for the host, one pure function each, in the order
// prepareShape runs them. They work on trace tables (rows 1..4095 of the working trace, rows
// 1..800 of the resampled one) exactly as the host's results were tuned against: the odd
// constants below (two different 2π, the plain numbers 90 and 180 met by radians, the first
// target angle that is not 2π/800) are part of the lab's expected output and must stay.

#include <cmath>
#include <utility>
#include <vector>

#include "base/trace_table.h"

namespace kovrel::preparation {

inline constexpr int kPoints = 4095;  // rows of the working trace, one per turntable step
inline constexpr int kRadii = 800;    // rows sent to the host

inline constexpr double kPi = 3.14159265359;                // radians
inline constexpr double kTwoPi = 6.28318530718;             // radians
inline constexpr double kTipTwoPi = 6.283185;               // radians, the turn added past the last row
inline constexpr double kFirstTarget = 0.006135923151;      // radians, first resampling target
inline constexpr double kTargetStep = 0.00785398163397448;  // radians, 2π/800
inline constexpr double kSeamSplit = 1.0;  // radians: below it a seam row belongs to the start
inline constexpr double kTaken = 9999.0;   // radians: the seam sort only finds angles below it

// Rounds to the nearest integer, halves to the even neighbour, whatever the FPU rounding mode.
// Inline: every neighbour lookup of the tip compensation and every plotted point rounds.
inline double roundHalfEven(double x) {
  const double below = std::floor(x);
  const double fraction = x - below;
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// Polar form of a point (x, y) in mm about the centre: angle in radians (0..2π), radius in mm.
// A point exactly on an axis takes that axis' direction (0, π/2, π, 3π/2): a mirrored trace's
// first row lands on the far side of the centre, where the mirror puts it, and a row the
// centring puts on the axis takes its new radius. The centre itself keeps its angle.
void toPolar(double x, double y, double& angle, double& radius);

// Turns every row by `turn` radians and multiplies x by `signX` and y by `signY` (mirror).
void turnAndMirror(TraceTable& trace, double turn, double signX, double signY);

// First row of 1..4095 whose angle is below every earlier one, starting the search from 10.0
// radians (ties keep the lower row). 1 when no angle is below 10.
int minimumAngleRow(const TraceTable& trace);

// Rewrites rows 1..4095 starting from row `start` (start, start+1, ..., 4095, 1, 2, ...).
// `reversed` lays that same sequence out from the last row down to the first.
void rotateToStart(TraceTable& trace, int start, bool reversed);

// Puts the smallest angle first; a mirrored trace, whose angles run backwards, is reversed.
void orderFromMinimum(TraceTable& trace, bool mirrored);

struct BoxCentre {
  double x = 0.0;  // mm
  double y = 0.0;  // mm
};

// Moves rows 1..4095 so that the middle of their bounding box becomes the origin, and puts the
// smallest angle first. The box's extremes start at 0 on all four sides, so the box always
// includes the turntable centre. Returns the centre that was taken away.
BoxCentre centreOnBox(TraceTable& trace);

// The filter setting is a number of rows, at most one turn either way. Beyond that the search
// position loses its unit step in a double (from about 1e16 every row looks at the same
// neighbour), so the program refuses such a value instead of sending another shape.
inline constexpr double kFilterLimit = kPoints;
inline bool filterInRange(double filterscope) {
  return filterscope >= -kFilterLimit && filterscope <= kFilterLimit;  // false for NaN
}

// Corrects every row for the radius (mm) of the needle's tip, looking at a neighbour row that
// starts `filterscope` rows ahead. Never yields NaN or infinity for finite input; any filter
// value gives a defined result (outside filterInRange it is not a shape to send).
void compensateTip(TraceTable& trace, double tipRadius, double filterscope);

// Brings every angle into 0..2π and sorts the 401 rows around the start of the trace
// (3895..4095 and 1..200) by angle. Returns the number of rows placed (400 for a sound trace).
int normaliseAndSortSeam(TraceTable& trace);

// Picks the 800 rows sent to the host into rows 1..800 of `out` (angle, radius in mm) and
// returns the plot positions (mm, rounded to 0.1 mm) of rows 2..800.
std::vector<std::pair<double, double>> resample(const TraceTable& trace, TraceTable& out);

// Rows 1..800: radius in mm to whole hundredths of a millimetre, rounded down.
void toHundredths(TraceTable& resampled);

// Replaces a one-row spike whose neighbours agree within 0.01 mm by their mean (hundredths).
void filterSpikes(TraceTable& resampled);

struct Sizes {
  double mida_h = 0.0;  // hundredths of mm
  double mida_v = 0.0;  // hundredths of mm
};

// Horizontal and vertical sizes (diameters) with the manual offset `manualMm` (mm of diameter).
Sizes measureSizes(const TraceTable& resampled, double manualMm);

// Adds the three size offsets (mm of diameter) and the 0.05 mm allowance to rows 1..800.
// Returns the radius offset in hundredths of a millimetre.
double applyOffsets(TraceTable& resampled, double manualMm, double lensTypeMm, double generalMm);

// Codes rows 2..800 as byte differences (0..255, two's complement) of the running decoded
// radius; row 1 keeps the absolute radius. Returns the 800 radii (hundredths) before coding.
std::vector<double> codeDifferences(TraceTable& resampled);

}  // namespace kovrel::preparation
