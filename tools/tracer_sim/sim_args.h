#pragma once
// Command line of kovrel-tracer-sim.

#include <optional>
#include <string>
#include <vector>

#include "common/tracer_stream.h"
#include "read_source.h"

namespace kovrel::tools {

struct SimArgs {
  bool help = false;
  int com = 3;  // published as "COM3"
  std::string outline = "circle:25";
  Fault fault = Fault::None;
  bool fast = false;       // as fast as the line takes the bytes
  std::string recordPath;  // each read sent saved here (raw, 8262 bytes)
  std::string replayPath;  // a recorded read sent on every START
  std::string streamPath;  // write one read here and exit ("-": standard output)
  bool window = false;
  bool startNow = false;  // one read as soon as the line is up
  int reads = 0;          // leave after this many reads (0: run until told)
  int firstJob = 1;
  toolkit::TracerCalibration calibration;
  // --centre: every read is made with the needle on the centre, its raw counts averaging this.
  // With --encoder it is the reading the arm rests at.
  std::optional<double> centre;
  int spread = 2;         // counts either side of the centre
  bool encoder = false;   // stream arm readings continuously for the encoder monitor
  int encoderRate = 200;  // readings per second
};

// Parses the arguments after the program name. `generate FILE` is the same as
// `--stdout-stream FILE`. Returns nullopt and sets `error` on a mistake.
std::optional<SimArgs> parseSimArgs(const std::vector<std::string>& args, std::string& error);

std::string simUsage();

// File for read number `n` (1-based) when recording: the path itself for the first read, then
// "name-2.ext", "name-3.ext", ...
std::string recordPathFor(const std::string& path, int n);

}  // namespace kovrel::tools
