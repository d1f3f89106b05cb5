#pragma once
// What kovrel-cli prints: the read shape as text, and the host's decoded outline drawn at true
// size.

#include <string>
#include <vector>

#include "base/trace_table.h"

namespace kovrel::cli {

// Points 1..4095 of a trace, one line each: point, angle (radians), radius (mm), one blank
// between, 17 significant digits (enough to tell any two doubles apart).
std::string traceText(const TraceTable& trace);

// The outline of `radii` (hundredths of a millimetre, point i at 2π·i/N counter-clockwise from
// +x) as an SVG drawing whose user unit is the millimetre and whose width and height are given
// in mm, so it prints at true size. A cross marks the centre.
std::string outlineSvg(const std::vector<int>& radii);

}  // namespace kovrel::cli
