#include "read_source.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "archive/trace_file.h"

namespace kovrel::tools {
namespace {

constexpr int kHeaderBytes = 64;
constexpr double kDefaultRectExponent = 6.0;
constexpr double kDefaultRadius = 25.0;  // mm

struct NamedFault {
  std::string_view name;
  Fault value;
};
constexpr std::array<NamedFault, 6> kFaults{{
    {"none", Fault::None},
    {"wrong-first-byte", Fault::WrongFirstByte},
    {"below-range", Fault::BelowRange},
    {"high-byte", Fault::HighByte},
    {"truncated", Fault::Truncated},
    {"garbage", Fault::Garbage},
}};

// Numbers separated by commas; false unless there are `min`..`max` of them, all finite.
bool parseNumbers(std::string_view text, std::size_t min, std::size_t max, std::vector<double>& out) {
  out.clear();
  while (true) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    double v = 0.0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), v);
    if (ec != std::errc() || end != item.data() + item.size() || !std::isfinite(v)) return false;
    out.push_back(v);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out.size() >= min && out.size() <= max;
}

bool allPositive(const std::vector<double>& v) {
  for (double x : v)
    if (x <= 0.0) return false;
  return true;
}

// Byte offset of the high byte of sample n (1-based).
std::size_t sampleOffset(int n) { return kHeaderBytes + 2 + 2 * static_cast<std::size_t>(n - 1); }

}  // namespace

std::optional<Fault> faultFromName(std::string_view name) {
  for (const auto& f : kFaults)
    if (f.name == name) return f.value;
  return std::nullopt;
}

std::string_view faultName(Fault f) {
  for (const auto& n : kFaults)
    if (n.value == f) return n.name;
  return "none";
}

std::optional<toolkit::Outline> parseOutline(std::string_view form, std::string& error) {
  const auto colon = form.find(':');
  if (colon == std::string_view::npos) {
    error = "outline '" + std::string(form) + "' has no ':' (circle:25, ellipse:28,20, ...)";
    return std::nullopt;
  }
  const std::string_view kind = form.substr(0, colon);
  const std::string_view args = form.substr(colon + 1);
  std::vector<double> v;
  auto bad = [&](const char* expected) {
    error = "outline '" + std::string(form) + "': expected " + expected + " (mm, positive)";
    return std::nullopt;
  };

  if (kind == "circle") {
    if (!parseNumbers(args, 1, 1, v) || !allPositive(v)) return bad("circle:R");
    return toolkit::circle(v[0]);
  }
  if (kind == "ellipse") {
    if (!parseNumbers(args, 2, 2, v) || !allPositive(v)) return bad("ellipse:A,B");
    return toolkit::ellipse(v[0], v[1]);
  }
  if (kind == "rect") {
    if (!parseNumbers(args, 2, 3, v) || !allPositive(v)) return bad("rect:A,B[,N]");
    return toolkit::superellipse(v[0], v[1], v.size() == 3 ? v[2] : kDefaultRectExponent);
  }
  if (kind == "offcentre") {
    const auto inner = args.find(':');
    if (!parseNumbers(args.substr(0, inner), 2, 2, v)) return bad("offcentre:DX,DY[:SHAPE]");
    std::optional<toolkit::Outline> shape =
        inner == std::string_view::npos ? std::optional<toolkit::Outline>(toolkit::circle(kDefaultRadius))
                                        : parseOutline(args.substr(inner + 1), error);
    if (!shape) return std::nullopt;
    // The turntable centre must stay inside the moved shape, or no ray from it meets the
    // outline once: the needle would ride over the rim.
    if (std::hypot(v[0], v[1]) >= (*shape)(std::atan2(-v[1], -v[0]))) {
      error = "outline '" + std::string(form) + "': the turntable centre falls outside the shape";
      return std::nullopt;
    }
    return toolkit::offCentre(std::move(*shape), v[0], v[1]);
  }
  if (kind == "oma") {
    const std::string path(args);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = "outline '" + std::string(form) + "': cannot open " + path;
      return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    OmaTrace trace;
    std::string why;
    if (!readOmaTrace(text.str(), trace, &why)) {
      error = "outline '" + std::string(form) + "': " + why;
      return std::nullopt;
    }
    return outlineFromTrace(trace);
  }
  error = "unknown outline '" + std::string(kind) + "' (circle, ellipse, rect, offcentre, oma)";
  return std::nullopt;
}

std::vector<std::uint8_t> applyFault(const std::vector<std::uint8_t>& good, Fault fault,
                                     const toolkit::TracerCalibration& cal) {
  std::vector<std::uint8_t> bytes = good;
  switch (fault) {
    case Fault::None:
      break;
    case Fault::WrongFirstByte:
      bytes.at(0) = '#';
      break;
    case Fault::BelowRange: {
      // The program stops a read at a count below its innermost count less 5, the innermost
      // count being the header's shifted by the temperature compensation (at most 9 counts).
      const toolkit::TracerCalibration h = toolkit::headerValues(cal);
      const double shift = std::clamp((614.0 - cal.temperatura) * 0.25, -9.0, 9.0);
      const int count = static_cast<int>(std::ceil(h.polsoseix + shift - 5.0)) - 1;
      const int word = count < 0 ? 0 : count;
      bytes.at(sampleOffset(kSpoiltSample)) = static_cast<std::uint8_t>(word >> 8);
      bytes.at(sampleOffset(kSpoiltSample) + 1) = static_cast<std::uint8_t>(word & 0xFF);
      break;
    }
    case Fault::HighByte:
      bytes.at(sampleOffset(kSpoiltSample)) |= 0x80;
      break;
    case Fault::Truncated:
      bytes.resize(sampleOffset(kTruncatedSamples + 1));
      break;
    case Fault::Garbage: {
      // Deterministic noise (xorshift), the same every run; never a "*" first.
      std::uint32_t x = 0x2545F491u;
      for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
      }
      if (bytes.at(0) == '*') bytes[0] = 0xAA;
      break;
    }
  }
  return bytes;
}

ReadSource::ReadSource(toolkit::Outline outline, toolkit::TracerCalibration cal, Fault fault)
    : outline_(std::move(outline)), cal_(std::move(cal)), fault_(fault) {}

ReadSource::ReadSource(CentreRead centre, toolkit::TracerCalibration cal)
    : cal_(std::move(cal)), samples_(centreSamples(centre.mean, centre.spread)) {}

std::vector<int> centreSamples(double mean, int spread) {
  constexpr int kSamples = 4096;
  const int width = 2 * std::max(spread, 0) + 1;
  std::vector<int> samples(kSamples);
  long long sum = 0;
  for (int i = 0; i < kSamples; ++i) {
    samples[i] = std::clamp(static_cast<int>(std::lround(mean)) + i % width - (width - 1) / 2, 0, 4095);
    sum += samples[i];
  }
  // One count more or less on as many samples as it takes to bring the sum to its target, pass after
  // pass: a spread reaching 0 or 4095 leaves few samples free to move, and the target (0 to 4095 x
  // 4095) is always within the 4096 counts' reach.
  long long missing = std::llround(4095.0 * mean) - sum;
  for (bool moved = true; moved;) {
    moved = false;
    for (int& s : samples) {
      if (missing == 0) break;
      const int step = missing > 0 ? 1 : -1;
      if (s + step < 0 || s + step > 4095) continue;
      s += step;
      missing -= step;
      moved = true;
    }
  }
  return samples;
}

int encoderReading(long n, int centre, int spread) {
  // A hash of the reading's number: noise that looks random but repeats run after run.
  auto x = static_cast<std::uint32_t>(n) * 2654435761u + 0x9E3779B9u;
  x ^= x >> 16;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  const int width = 2 * std::max(spread, 0) + 1;
  return std::clamp(centre + static_cast<int>(x % static_cast<std::uint32_t>(width)) - (width - 1) / 2, 0,
                    32767);
}

ReadSource::ReadSource(std::vector<std::uint8_t> recorded) : recorded_(std::move(recorded)) {}

std::vector<std::uint8_t> ReadSource::read(int job) {
  if (!outline_ && samples_.empty()) return recorded_;
  if (samples_.empty()) samples_ = toolkit::samplesFor(*outline_, cal_);
  // The machine's counter stays within 15 bits: a word with its top bit set is not a count.
  const int counter = job & 0x7FFF;
  const auto good =
      toolkit::assembleStream(toolkit::buildHeader(cal_), cal_.temperatura, samples_, counter, counter);
  return applyFault(good, fault_, cal_);
}

}  // namespace kovrel::tools
