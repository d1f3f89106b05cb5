#pragma once
// Plain-text OMA/VCA trace files: the "TRCFMT=1;N;E;side;type" record followed by "R=" records
// holding N radii in hundredths of a millimetre, point i at 2π·i/N radians counter-clockwise
// from +x about the boxing centre. Labs keep frame outlines in this form; the simulators use
// them as true shapes to trace, and the host simulator saves what it decoded in it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel {

struct OmaTrace {
  int count = 0;               // N, the number of radii
  std::vector<int> radii;      // hundredths of mm, equally spaced in angle
  std::string side;            // "R", "L" or "B"
  std::optional<double> hbox;  // boxed width, mm, when the file gives HBOX for this side
  std::optional<double> vbox;  // boxed height, mm
};

// Reads the first trace of a file (usually the right eye). Only ASCII radii (format 1) at equal
// angle steps can be decoded; other formats, a wrong count or a malformed value give false and,
// when `error` is not null, the reason.
bool readOmaTrace(std::string_view fileText, OmaTrace& out, std::string* error);

// "TRCFMT=1;N;E;side;D" and the radii as "R=" records, ten per line, lines ended by CR LF.
std::string writeOmaTrace(const std::vector<int>& radii, char side = 'R');

// The outline as a function: radius in mm at any polar angle (radians, any turn), linear
// between the equally spaced points of the trace.
std::function<double(double)> outlineFromTrace(const OmaTrace& trace);

}  // namespace kovrel
