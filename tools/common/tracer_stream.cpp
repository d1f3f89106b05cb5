#include "common/tracer_stream.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

namespace kovrel::toolkit {
namespace {

// The tracer's own physics, independent of how the capture writes its constants: the turntable
// turns once in 4095 steps; the encoder is 12 bits wide.
constexpr double kPi = std::numbers::pi;
constexpr double kTurntableStep = 2.0 * kPi / 4095.0;  // radians
constexpr int kMaxCount = 4095;
constexpr int kSamples = 4096;
constexpr int kHeaderLength = 64;
constexpr double kNeutralTemperature = 614.0;
constexpr double kMaxCompensation = 9.0;  // counts

// Right-aligned whole number in a field of `width` characters.
std::string fieldText(long long value, int width, const char* what) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) > width)
    throw std::invalid_argument(std::string(what) + " does not fit the header");
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

long long scaled(double value, double scale) { return std::llround(value * scale); }

// angleplus as a three-character mantissa m and an exponent digit e, angleplus = m / 10^(e+1),
// keeping as many digits as the mantissa holds.
std::pair<long long, int> angleplusFields(double angleplus) {
  const long long limit = angleplus < 0 ? 99 : 999;  // a minus sign takes one character
  for (int e = 9; e >= 0; --e) {
    const long long m = std::llround(angleplus * std::pow(10.0, e + 1));
    if (std::llabs(m) <= limit) return {m, e};
  }
  throw std::invalid_argument("angleplus does not fit the header");
}

// A root of f in [a, b] where f(a) and f(b) differ in sign (regula falsi, Illinois variant:
// converges fast on the smooth functions met here and never leaves the bracket).
template <typename F>
double solve(F&& f, double a, double b) {
  double fa = f(a), fb = f(b);
  int side = 0;
  double c = a;
  for (int i = 0; i < 200; ++i) {
    c = (fa * b - fb * a) / (fa - fb);
    const double fc = f(c);
    if (std::abs(fc) < 1e-12 || std::abs(b - a) < 1e-14) break;
    if (fc * fb > 0) {
      b = c;
      fb = fc;
      if (side == -1) fa /= 2;
      side = -1;
    } else {
      a = c;
      fa = fc;
      if (side == 1) fb /= 2;
      side = 1;
    }
  }
  return c;
}

}  // namespace

std::string buildHeader(const TracerCalibration& cal) {
  if (cal.serial.size() > 4) throw std::invalid_argument("serial number longer than 4 characters");
  const auto [mantissa, exponent] = angleplusFields(cal.angleplus);
  std::string h = "***";                                                     // 1-3
  h += fieldText(scaled(cal.polsoseix, 10), 4, "polsoseix") + " ";           // 4-7
  h += fieldText(scaled(cal.midaradi, 1000), 5, "midaradi") + " ";           // 9-13
  h += fieldText(mantissa, 3, "angleplus") + "  ";                           // 15-17
  h += fieldText(exponent, 1, "angleplus") + " ";                            // 20
  h += fieldText(scaled(cal.obertura_brac, 100), 4, "obertura_brac") + " ";  // 22-25
  h += fieldText(scaled(cal.radi_central, 100), 3, "radi_central") + " ";    // 27-29
  h += cal.serial + std::string(4 - cal.serial.size(), ' ');                 // 31-34
  h.resize(kHeaderLength, ' ');
  return h;
}

TracerCalibration headerValues(const TracerCalibration& cal) {
  TracerCalibration out = cal;
  out.polsoseix = static_cast<double>(scaled(cal.polsoseix, 10)) / 10.0;
  out.midaradi = static_cast<double>(scaled(cal.midaradi, 1000)) / 1000.0;
  const auto [mantissa, exponent] = angleplusFields(cal.angleplus);
  out.angleplus = static_cast<double>(mantissa) / std::pow(10.0, exponent + 1);
  out.obertura_brac = static_cast<double>(scaled(cal.obertura_brac, 100)) / 100.0;
  out.radi_central = static_cast<double>(scaled(cal.radi_central, 100)) / 100.0;
  return out;
}

namespace {

// The arm as the capture models it from the header's calibration, with compensation on.
struct Arm {
  double innermost;    // raw count at radi_central, temperature shift included
  double perCount;     // arm swing per count, radians
  double atInnermost;  // arm angle at the innermost position, radians
  double length;       // mm
  double step;         // turntable step including angleplus, radians

  explicit Arm(const TracerCalibration& cal) {
    const TracerCalibration h = headerValues(cal);
    const double shift =
        std::clamp((kNeutralTemperature - cal.temperatura) * 0.25, -kMaxCompensation, kMaxCompensation);
    innermost = h.polsoseix + shift;
    const double travel = 4095.0 - innermost;
    perCount = 2.0 * std::asin(h.obertura_brac / 2.0 / h.midaradi) / travel;
    atInnermost = 2.0 * std::asin(h.radi_central / 2.0 / h.midaradi);
    length = h.midaradi;
    step = kTurntableStep + h.angleplus;
  }
  double armAngle(double count) const { return (count - innermost) * perCount + atInnermost; }
};

}  // namespace

double countSizeMm(const TracerCalibration& cal) {
  const Arm arm(cal);
  return arm.perCount * arm.length;
}

std::vector<int> samplesFor(const Outline& outline, const TracerCalibration& cal) {
  const Arm arm(cal);
  std::vector<int> counts;
  counts.reserve(kSamples);
  const double lowest = std::max(arm.armAngle(0), 1e-9);
  const double highest = arm.armAngle(kMaxCount);
  for (int n = 1; n <= kSamples; ++n) {
    const double turned = (n - 1) * arm.step;
    // The needle at arm angle θ is 2·L·sin(θ/2) from the centre, at polar angle π − θ/2 on top
    // of the turntable's own turn: find the θ whose point lies on the outline.
    auto offOutline = [&](double theta) {
      return 2.0 * arm.length * std::sin(theta / 2.0) - outline(turned + kPi - theta / 2.0);
    };
    int count;
    if (offOutline(lowest) >= 0) {
      count = 0;
    } else if (offOutline(highest) <= 0) {
      count = kMaxCount;
    } else {
      const double theta = solve(offOutline, lowest, highest);
      const double exact = (theta - arm.atInnermost) / arm.perCount + arm.innermost;
      count = static_cast<int>(std::clamp<long long>(std::llround(exact), 0, kMaxCount));
    }
    counts.push_back(count);
  }
  return counts;
}

std::vector<std::uint8_t> assembleStream(const std::string& header, int temperatura,
                                         const std::vector<int>& samples, int job1, int job2) {
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  auto word = [&bytes](int v) {
    bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
  };
  word(temperatura);
  for (int s : samples) word(s);
  word(job1);
  word(job2);
  return bytes;
}

std::vector<std::uint8_t> buildStream(const Outline& outline, const TracerCalibration& cal, int job1,
                                      int job2) {
  return assembleStream(buildHeader(cal), cal.temperatura, samplesFor(outline, cal), job1, job2);
}

Outline circle(double radius) {
  return [radius](double) { return radius; };
}

Outline ellipse(double a, double b) {
  return [a, b](double angle) {
    const double c = b * std::cos(angle), s = a * std::sin(angle);
    return a * b / std::sqrt(c * c + s * s);
  };
}

Outline superellipse(double a, double b, double n) {
  return [a, b, n](double angle) {
    const double x = std::abs(std::cos(angle)) / a, y = std::abs(std::sin(angle)) / b;
    return std::pow(std::pow(x, n) + std::pow(y, n), -1.0 / n);
  };
}

Outline offCentre(Outline outline, double dx, double dy) {
  return [outline = std::move(outline), dx, dy](double angle) {
    const double ux = std::cos(angle), uy = std::sin(angle);
    // Distance along the ray from the turntable centre at which the ray meets the outline.
    auto beyond = [&](double r) {
      const double px = r * ux - dx, py = r * uy - dy;
      return std::hypot(px, py) - outline(std::atan2(py, px));
    };
    double far = 1.0;
    while (beyond(far) < 0 && far < 1e6) far *= 2;
    return solve(beyond, 0.0, far);
  };
}

}  // namespace kovrel::toolkit
