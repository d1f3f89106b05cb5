#pragma once
// A shape that arrives as a table of radii (a lab's trace file: 360, 400, 1000 radii at equal
// angle steps) turned into a working trace like a read's, so the mirror, the turns, the offsets
// and the send handle it as they handle a read.

#include <vector>

#include "base/trace_table.h"

namespace kovrel {

// Points 1..4095 at equal steps of one turn from 0 rad, counter-clockwise, radii in mm linear
// between the table's neighbouring radii (hundredths of mm, the first at 0 rad). An empty table
// gives an empty trace.
TraceTable workingTraceFromRadii(const std::vector<int>& radiiHundredths);

}  // namespace kovrel
