#pragma once
// A read as the tracer delivered it, kept apart from the calibration the program has now: the
// arm counts and the calibration values that turned them into millimetres. From them the working
// trace comes back exactly as the capture made it, whatever the settings say later; the capture
// itself decodes every sample with the same two functions.

#include <string>
#include <vector>

#include "base/shared_state.h"
#include "base/trace_table.h"

namespace kovrel {

// The calibration a sample is decoded with (the values the read's header left in the state).
struct ArmCalibration {
  double grausperpols = 0.0;        // radians of arm swing per count
  double midaradi = 0.0;            // feeler arm length, mm
  double angleplus = 0.0;           // radians added to the turntable's fixed step
  double polsoseix = 0.0;           // raw count at the innermost position
  double carrera = 0.0;             // counts of the full travel
  double angle_radi_central = 0.0;  // arm angle at the innermost position, radians
  double pi = 0.0;                  // the capture's value of pi
};

struct RecordedRead {
  std::string header;         // dades_capsalera as gathered (empty in no-header mode)
  std::string serial_number;  // selects the probe tip
  int temperature = 0;        // raw temperature word
  double offset_temperatura = 0.0;
  int jobs = 0;  // the tracer's job counter (second trailer word)
  ArmCalibration arm;
  std::vector<int> samples;  // the 4096 arm counts, sample n at index n - 1
};

// The arm's angle (radians) and the needle's distance from the turntable centre (mm) for one
// raw count.
struct SamplePolar {
  double armAngle = 0.0;
  double radius = 0.0;
};
SamplePolar decodeSample(int raw, const ArmCalibration& arm);
// Counts from the needle's innermost position.
double sampleCounts(int raw, const ArmCalibration& arm);
// Stores sample `n` (1..4096) in forma_llegida, moving the turntable's running angle on.
void placeSample(int n, const SamplePolar& sample, const ArmCalibration& arm, TraceTable& forma_llegida,
                 double& runningAngle);

// forma_llegida's points past a full turn are brought back and points 1..4095 become the working
// trace (point 4096 closes the turn on point 1). Used by the capture at the end of every read.
void handOverTrace(TraceTable& forma_llegida, TraceTable& forma_treball);

// The calibration a read left in the state, and the whole read (the samples the capture kept).
ArmCalibration armCalibrationOf(const SharedState& state);
RecordedRead recordedReadOf(const SharedState& state);

// The working trace of a recorded read, point for point the one its capture handed over. False
// (the trace untouched) when the read does not hold 4096 samples.
bool workingTraceOf(const RecordedRead& read, TraceTable& forma_treball);

}  // namespace kovrel
