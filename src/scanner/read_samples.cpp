#include "scanner/read_samples.h"

#include <cmath>

#include "scanner/capture.h"

namespace kovrel {
namespace {

// Points of the read looked at when the angles that passed a full turn are brought back.
constexpr int kWrapRun = 100;

}  // namespace

double sampleCounts(int raw, const ArmCalibration& arm) { return arm.carrera - (4095 - raw); }

SamplePolar decodeSample(int raw, const ArmCalibration& arm) {
  // Counts from the needle's innermost position, then the arm angle (radians). The needle
  // swings on an arc of radius midaradi, so its distance from the turntable centre is the
  // chord of that angle, and its polar angle about the centre lags by half the arm angle.
  const double armAngle = sampleCounts(raw, arm) * arm.grausperpols + arm.angle_radi_central;
  return {armAngle, 2.0 * arm.midaradi * std::sin(armAngle / 2.0)};
}

void placeSample(int n, const SamplePolar& sample, const ArmCalibration& arm, TraceTable& read,
                 double& runningAngle) {
  const double polar = arm.pi - sample.armAngle / 2.0;
  if (n == 1) {
    read.angle(1) = polar;
    read.radius(1) = sample.radius;
    runningAngle = polar;
  } else {
    runningAngle = runningAngle + kTurntableStep + arm.angleplus;
    read.angle(n) = polar - read.angle(1) + runningAngle;
    read.radius(n) = sample.radius;
  }
  // The point just stored keeps its angle; the end of the read brings back those past a turn.
  if (runningAngle >= 2.0 * arm.pi) runningAngle -= kFullTurn;
}

void handOverTrace(TraceTable& read, TraceTable& treball) {
  // Points stored just before the running angle wrapped may lie past a full turn.
  int k = 0;
  for (int i = 1; i <= 4095; ++i) {
    if (read.angle(i) > kFullTurn) {
      k = i;
      break;
    }
  }
  for (int i = k; i <= k + kWrapRun && i <= TraceTable::kLastPoint; ++i) {
    if (read.angle(i) < kFullTurn) break;
    read.angle(i) -= kFullTurn;
  }
  // Point 4096 closes the turn on point 1 and is left out.
  for (int i = (k == 0 ? 0 : 1); i <= 4095; ++i) {
    treball.angle(i) = read.angle(i);
    treball.radius(i) = read.radius(i);
  }
}

ArmCalibration armCalibrationOf(const SharedState& s) {
  return {s.grausperpols,
          s.midaradi,
          s.angleplus,
          s.polsoseix,
          s.carrera.toNumber(),
          s.angle_radi_central.toNumber(),
          s.PI};
}

RecordedRead recordedReadOf(const SharedState& s) {
  RecordedRead read;
  read.header = s.dades_capsalera;
  read.serial_number = s.serial_number;
  read.temperature = static_cast<int>(s.temperatura.toNumber());
  read.offset_temperatura = s.offset_temperatura.toNumber();
  read.jobs = static_cast<int>(s.contador_treballs.toNumber());
  read.arm = armCalibrationOf(s);
  read.samples = s.raw_samples;
  return read;
}

bool workingTraceOf(const RecordedRead& read, TraceTable& forma_treball) {
  if (read.samples.size() != static_cast<std::size_t>(kSamplesPerRead)) return false;
  TraceTable llegida;
  double running = 0.0;
  for (int n = 1; n <= kSamplesPerRead; ++n) {
    placeSample(n, decodeSample(read.samples[static_cast<std::size_t>(n - 1)], read.arm), read.arm, llegida,
                running);
  }
  TraceTable treball;
  handOverTrace(llegida, treball);
  forma_treball = std::move(treball);
  return true;
}

}  // namespace kovrel
