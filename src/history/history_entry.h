#pragma once
// One kept read as the history lists it, and the shape a trace file gives back to stand on the
// plot. The archive fills both from its files; the history never reads a file itself.

#include <compare>
#include <filesystem>
#include <string>
#include <vector>

#include "base/trace_table.h"

namespace kovrel {

// A calendar day of local time.
struct Day {
  int year = 0, month = 0, day = 0;
  friend auto operator<=>(const Day&, const Day&) = default;
};

struct HistoryEntry {
  std::filesystem::path path;
  Day day;  // when the read was kept, local time
  int hour = 0, minute = 0;
  std::string job;   // the job counter as the host got it ("345")
  double aMm = 0.0;  // boxed width, mm
  double bMm = 0.0;  // boxed height, mm
  // A few equiangular radii of the shape as sent (mm), the first at 0 radians, counter-clockwise:
  // enough to draw it small.
  std::vector<double> outline;
  int sends = 0;            // how many times it reached the host or failed to
  std::string lastOutcome;  // the last send's message ("Envio >OK< " or the failure's)
  bool readable = true;
  std::string reason;  // why the file cannot be used (when not readable)
};

// The shape of a trace file, as the plot gets it.
struct KeptShape {
  // Kovrel's own read: forma_treball exactly as that read's end left it (points 0..4095), with
  // the tracer's serial number that chose its tip compensation.
  bool ownRead = false;
  TraceTable forma_treball;
  std::string serial_number;
  // Another program's trace: equiangular radii of the lens's edge (mm), the first at 0 radians,
  // counter-clockwise (any count).
  std::vector<double> radiiMm;
  std::string job;
  // As last kept (a foreign file: unmirrored, unturned, no offsets).
  int signe_x = 1;            // -1 mirrored
  double gir_acumulat = 0.0;  // radians
  double normalOaire = 0.0;   // lens-type offset, mm
  double manualOffsetMm = 0.0;
};

}  // namespace kovrel
