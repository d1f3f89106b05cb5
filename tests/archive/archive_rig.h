#pragma once
// A read as the capture leaves it, for the archive's tests: the installed arm, a traced outline.

#include "base/shared_state.h"
#include "capture_rig.h"
#include "common/tracer_stream.h"

namespace kovrel::testing {

inline SharedState capturedRead(const toolkit::Outline& outline, int job, double angleplus = 1.5e-6) {
  toolkit::TracerCalibration cal;
  cal.angleplus = angleplus;
  CaptureRig rig;
  rig.start();
  rig.burst(toolkit::buildStream(outline, cal, 1, job));
  rig.state.filterscope = 3;
  return rig.state;
}

}  // namespace kovrel::testing
