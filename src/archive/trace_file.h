#pragma once
// Plain-text OMA/VCA trace files: the "TRCFMT=1;N;E;side;type" record followed by "R=" records
// holding N radii in hundredths of a millimetre, point i at 2π·i/N radians counter-clockwise
// from +x about the boxing centre. Labs keep frame outlines in this form; the archive keeps every
// read in it, the simulators use such files as true shapes to trace, and the host simulator saves
// what it decoded in it.
//
// A file may come from anywhere (a lab's server, a hand edit, a disk that filled up): reading is
// bounded in size and in count, and every refusal carries a Spanish reason for the operator.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel {

// Larger files are not trace files (a trace of 10,000 radii is some 60 kB).
inline constexpr std::size_t kMaxTraceFileBytes = 4 * 1024 * 1024;
// Labs use 360, 400, 1000 radii; more than this is a broken count.
inline constexpr int kMaxTraceRadii = 20000;

struct OmaTrace {
  int count = 0;               // N, the number of radii
  std::vector<int> radii;      // hundredths of mm, equally spaced in angle
  std::string side;            // "R", "L" or "B"
  std::optional<double> hbox;  // boxed width, mm, when the file gives HBOX for this side
  std::optional<double> vbox;  // boxed height, mm
};

// Reads the first trace of a file (usually the right eye). Only ASCII radii (format 1) at equal
// angle steps can be decoded; no trace, another format, a wrong count, a malformed value or a
// file over kMaxTraceFileBytes give false and, when `reason` is not null, why, in Spanish.
bool readOmaTrace(std::string_view fileText, OmaTrace& out, std::string* reason);

// "TRCFMT=1;N;E;side;D" and the radii as "R=" records, ten per line, lines ended by CR LF.
std::string writeOmaTrace(const std::vector<int>& radii, char side = 'R');

// The outline as a function: radius in mm at any polar angle (radians, any turn), linear
// between the equally spaced points of the trace.
std::function<double(double)> outlineFromTrace(const OmaTrace& trace);

}  // namespace kovrel
