#pragma once
// One kept read as a VCA trace file. A lab's OMA reader finds a plain trace in it: JOB, the
// TRCFMT=1;800;E;R;D record with the 800 radii the host would receive now (absolute, hundredths
// of a millimetre), HBOX, VBOX, FED and CIRC. Records whose labels begin with an underscore, as
// the VCA convention keeps vendor data, hold what reproduces the read exactly: its own samples
// and header values, the mirror, the turn, the lens type and the manual offset, and every send
// with its outcome. _KOVREL gives the version of those records, so a file of a newer Kovrel is
// recognised and left alone.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/trace_file.h"
#include "base/shared_state.h"
#include "geometry/shape_sizes.h"
#include "scanner/read_samples.h"

namespace kovrel {

// The version of Kovrel's own records this program writes and understands.
inline constexpr int kKeptReadVersion = 1;

// A moment as the wall clock in the lab shows it (local time).
struct WallTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  friend bool operator==(const WallTime&, const WallTime&) = default;
};
// "2026-12-07 14:30:12"; "" when `text` is not one, for parsing.
std::string wallTimeText(const WallTime& t);
std::optional<WallTime> parseWallTime(std::string_view text);

// What the operator chose for the read: everything the preparation takes from the read's side.
struct ShapeChoices {
  bool mirrored = false;        // signe_x == -1
  double turn = 0.0;            // gir_acumulat, radians
  int lensTypeChosen = 0;       // tipoMontura: 0 until a lens type was chosen for the read
  double lensOffsetMm = 0.0;    // normalOaire
  double manualOffsetMm = 0.0;  // the manual offset typed on the lens-type panel
  friend bool operator==(const ShapeChoices&, const ShapeChoices&) = default;
};

struct SendRecord {
  WallTime time;
  std::string outcome;  // what the information box said: "Envio >OK< " or the failure's message
  friend bool operator==(const SendRecord&, const SendRecord&) = default;
};

struct KeptRead {
  std::string job;    // the tracer's job counter as digits
  WallTime time;      // end of the read
  RecordedRead read;  // samples and header values as captured
  ShapeChoices choices;
  std::vector<int> radii;  // the 800 radii the host would receive now, hundredths of mm
  ShapeSizes sizes;        // of those radii (measureShape)
  std::vector<SendRecord> sends;
};

// The read in the state as it stands (the choices, the radii the send would deliver with the
// manual offset `manualOffsetMm` and the filter setting `filterscope`, their sizes). The radii
// are those a send would deliver: once sent, the sent ones.
KeptRead keptReadOf(const SharedState& state, double manualOffsetMm, double filterscope,
                    const WallTime& time);
// The choices alone (to tell whether a change must reach the file).
ShapeChoices shapeChoicesOf(const SharedState& state, double manualOffsetMm);
// The radii and sizes again, after the choices changed.
void remeasure(KeptRead& kept, const SharedState& state, double filterscope);

// The file's text, lines ended by CR LF. A shape without a whole read (one opened from a lab's
// file) is written as a plain trace, without Kovrel's records.
std::string writeKeptRead(const KeptRead& kept);

// What a trace file holds. `usable` false: `reason` says why in Spanish ("no contiene ningún
// trazado", ...) and nothing else is meaningful. A file Kovrel kept itself also gives `kept`
// (its own records complete and understood); any other VCA trace gives only `trace` (any count).
struct TraceFileContent {
  bool usable = false;
  std::string reason;
  OmaTrace trace;
  std::string job;               // JOB, when given
  std::optional<WallTime> time;  // _FECHA, when given
  std::optional<KeptRead> kept;
  int sends = 0;            // _ENVIO records
  std::string lastOutcome;  // of the last one
};
TraceFileContent parseTraceFile(std::string_view text);

// Puts a kept read back into the state as its read left it, with its choices: the working trace
// rebuilt from the samples, the probe tip, the mirror, the turn and the lens type. Leaves the
// calibration and the settings alone. False (nothing changed) when the samples are not whole.
bool restoreKeptRead(const KeptRead& kept, SharedState& state);

}  // namespace kovrel
