#pragma once
// What the simulated tracer sends when START is pressed: a read synthesised from an outline and
// a calibration (or a recorded read played back), optionally spoilt the ways real reads go
// wrong.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/tracer_stream.h"

namespace kovrel::tools {

enum class Fault {
  None,
  WrongFirstByte,  // the read starts with "#" instead of "*" (a stream out of step)
  BelowRange,      // one sample 6 counts inside the needle's innermost position
  HighByte,        // one sample whose high byte is 128 or more
  Truncated,       // the line goes dead after 2000 samples (machine switched off)
  Garbage,         // line noise instead of a read (the adapter at the wrong speed)
};

std::optional<Fault> faultFromName(std::string_view name);
std::string_view faultName(Fault f);

// Sample (1-based) spoilt by BelowRange and HighByte: well inside the read, after the
// "Leyendo forma..." notice, so the program has plotted part of the shape when it stops.
inline constexpr int kSpoiltSample = 1000;
// Samples a truncated read still delivers.
inline constexpr int kTruncatedSamples = 2000;

// An outline from its command-line form:
//   circle:R                 radius R mm
//   ellipse:A,B              semi-axes A (along x) and B (along y), mm
//   rect:A,B[,N]             superellipse |x/A|^N + |y/B|^N = 1, N 6 when left out
//   offcentre:DX,DY[:SHAPE]  SHAPE (circle:25 when left out) moved DX, DY mm off the centre
//   oma:PATH                 a real frame from a plain-text OMA trace file
// Returns nullopt and sets `error` when the text is not one of these.
std::optional<toolkit::Outline> parseOutline(std::string_view form, std::string& error);

// The bytes of one read with `fault` applied to a good read `good` made with `cal`.
std::vector<std::uint8_t> applyFault(const std::vector<std::uint8_t>& good, Fault fault,
                                     const toolkit::TracerCalibration& cal);

// The 4096 raw counts of a read with the needle resting on the centre: counts within `spread`
// of `mean`, whose sum over the read is 4095 * `mean` rounded (the program divides the sum by
// the 4095 steps of a turn), so the calibration comes out as `mean`.
std::vector<int> centreSamples(double mean, int spread);

// The arm readings the encoder monitor listens to: reading `n` of a series around `centre`,
// never further than `spread` from it (deterministic, the same every run).
int encoderReading(long n, int centre, int spread);

struct CentreRead {
  double mean = 0;  // counts
  int spread = 0;   // counts either side of the mean
};

class ReadSource {
 public:
  // Reads with the needle on the centre (a centre calibration).
  ReadSource(CentreRead centre, toolkit::TracerCalibration cal);
  // Synthesised reads of `outline`.
  ReadSource(toolkit::Outline outline, toolkit::TracerCalibration cal, Fault fault);
  // Every read is the recorded bytes, unchanged.
  explicit ReadSource(std::vector<std::uint8_t> recorded);

  // The bytes of a read whose trailer carries job counter `job` (a recorded read keeps its own).
  std::vector<std::uint8_t> read(int job);

 private:
  std::optional<toolkit::Outline> outline_;
  toolkit::TracerCalibration cal_;
  Fault fault_ = Fault::None;
  std::vector<std::uint8_t> recorded_;
  std::vector<int> samples_;  // synthesised once: the outline does not change between reads
};

}  // namespace kovrel::tools
