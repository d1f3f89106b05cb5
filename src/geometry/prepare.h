#pragma once
// Preparation of a read shape for the host: turned and mirrored as the operator left it,
// centred on its bounding box, corrected for the probe tip, re-sorted by angle, resampled to 800
// radii, cleaned of one-sample spikes, enlarged by the size offsets and coded as one absolute
// radius followed by 799 byte differences, in hundredths of a millimetre.
//
// Preparing never consumes the read: it works on a copy of forma_treball, so a send that fails
// and is tried again prepares exactly the same shape.

#include <string>
#include <utility>
#include <vector>

#include "base/shared_state.h"
#include "base/trace_table.h"

namespace kovrel {

struct PrepareInputs {
  double gir_acumulat = 0.0;  // radians
  int signe_x = 1;            // +1 or -1 (mirrored)
  int signe_y = 1;
  std::string serial_number;    // its numeric value selects the probe-tip radius
  double filterscope = 3.0;     // start of the neighbour index of the tip compensation
  double manualOffsetMm = 0.0;  // offset_mida as a number, mm of diameter
  double normalOaire = 0.0;     // lens-type offset, mm of diameter
  double OffsetMida = 0.0;      // general offset, mm of diameter
  // The outline is the lens's edge already (a trace file's), not the feeler tip's path: the
  // tip's radius must not be added a second time.
  bool edgeOutline = false;
};

struct PreparedShape {
  // forma_auxiliar: rows 1..800; column 1 the angle of the chosen sample, column 2 the row 1
  // absolute radius then the 799 codes 0..255 (hundredths of a millimetre).
  TraceTable forma_auxiliar;
  // Final radii in hundredths of a millimetre (rows 1..800 at index 0..799) before coding,
  // the values the host's decoded outline should come back to.
  std::vector<double> radii;
  double mida_h = 0.0;       // horizontal size, hundredths of mm (diameter)
  double mida_v = 0.0;       // vertical size, hundredths of mm
  double offset_radi = 0.0;  // radius offset, hundredths of mm
  // Rows 2..800 of the resampled shape as plot positions (mm, rounded to 0.1 mm), to be drawn
  // with width 2 on a cleared plot with fresh axes, refreshing after every point.
  std::vector<std::pair<double, double>> plotPoints;
};

PreparedShape prepareShape(const TraceTable& forma_treball, const PrepareInputs& inputs);

// The inputs as the operator left them: turn, mirror, tracer, lens type and general offset from
// the shared state, with the manual offset (mm) and the filter setting already read and checked.
// The send and the sizes under the plot both take them from here, so they measure one shape.
PrepareInputs preparationInputs(const SharedState& state, double manualOffsetMm, double filterscope);

// Probe-tip radius in mm for a tracer serial number: 0.625 below 61, 0.65 from 61 on.
double probeTipRadius(const std::string& serial_number);

}  // namespace kovrel
