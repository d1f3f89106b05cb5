#include "archive/trace_file.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace kovrel {
namespace {

// Fewer radii cannot draw an outline; a radius beyond 200 mm is no lens.
constexpr int kMinRadii = 3;
constexpr int kMaxRadius = 20000;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = s.find(separator);
    parts.push_back(trim(s.substr(0, at)));
    if (at == std::string_view::npos) return parts;
    s.remove_prefix(at + 1);
  }
}

bool parseInt(std::string_view s, int& value) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool parseDouble(std::string_view s, double& value) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}

// HBOX and VBOX give one value per eye, right first: "51.00;51.00".
std::optional<double> boxFor(std::string_view values, const std::string& side) {
  const auto parts = split(values, ';');
  const std::size_t index = side == "L" && parts.size() > 1 ? 1 : 0;
  double mm = 0.0;
  if (!parseDouble(parts[index], mm)) return std::nullopt;
  return mm;
}

}  // namespace

bool readOmaTrace(std::string_view fileText, OmaTrace& out, std::string* error) {
  if (fileText.size() > kMaxTraceFileBytes) {
    return fail(error, "es demasiado grande para un archivo de trazado (" + std::to_string(fileText.size()) +
                           " bytes; como mucho " + std::to_string(kMaxTraceFileBytes) + ")");
  }
  OmaTrace trace;
  bool found = false;       // a TRCFMT record has been met
  bool collecting = false;  // the R= records that follow it belong to the trace
  std::string_view hbox, vbox;

  while (!fileText.empty()) {
    const auto end = fileText.find_first_of("\r\n");
    const std::string_view line = fileText.substr(0, end);
    fileText.remove_prefix(end == std::string_view::npos ? fileText.size() : end + 1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view label = trim(line.substr(0, equals));
    const std::string_view value = line.substr(equals + 1);

    if (label == "HBOX") hbox = value;
    if (label == "VBOX") vbox = value;
    if (label == "R" && collecting) {
      for (std::string_view field : split(value, ';')) {
        if (field.empty()) continue;
        int radius = 0;
        if (!parseInt(field, radius) || radius < 0 || radius > kMaxRadius)
          return fail(error, "contiene un radio no válido: \"" + std::string(field.substr(0, 20)) + "\"");
        // More radii than announced: the count check below tells it, without storing them all.
        if (static_cast<int>(trace.radii.size()) > trace.count) continue;
        trace.radii.push_back(radius);
      }
      continue;
    }
    collecting = false;  // any other record ends the trace's radii
    if (label != "TRCFMT" || found) continue;

    found = true;
    const auto fields = split(value, ';');
    if (fields.size() < 4) return fail(error, "tiene un registro TRCFMT incompleto");
    if (fields[0] != "1") {
      return fail(error, "guarda el trazado en el formato " + std::string(fields[0].substr(0, 20)) +
                             " (solo se leen trazados TRCFMT=1, radios en texto)");
    }
    if (!parseInt(fields[1], trace.count) || trace.count < kMinRadii || trace.count > kMaxTraceRadii) {
      return fail(error,
                  "anuncia un número de radios no válido: \"" + std::string(fields[1].substr(0, 20)) + "\"");
    }
    if (fields[2] != "E") return fail(error, "no guarda los radios a pasos de ángulo iguales (E)");
    if (fields[3] != "R" && fields[3] != "L" && fields[3] != "B") {
      return fail(error, "nombra un lado desconocido: \"" + std::string(fields[3].substr(0, 20)) + "\"");
    }
    trace.side = std::string(fields[3]);
    collecting = true;
  }

  if (!found) return fail(error, "no contiene ningún trazado (falta el registro TRCFMT)");
  if (static_cast<int>(trace.radii.size()) != trace.count) {
    return fail(
        error, "anuncia " + std::to_string(trace.count) + " radios y contiene " +
                   (static_cast<int>(trace.radii.size()) > trace.count ? "más"
                                                                       : std::to_string(trace.radii.size())));
  }
  if (!hbox.empty()) trace.hbox = boxFor(hbox, trace.side);
  if (!vbox.empty()) trace.vbox = boxFor(vbox, trace.side);
  out = std::move(trace);
  return true;
}

std::string writeOmaTrace(const std::vector<int>& radii, char side) {
  constexpr std::size_t kPerLine = 10;
  std::string text = "TRCFMT=1;" + std::to_string(radii.size()) + ";E;" + side + ";D\r\n";
  for (std::size_t i = 0; i < radii.size(); ++i) {
    text += i % kPerLine == 0 ? "R=" : ";";
    text += std::to_string(radii[i]);
    if (i % kPerLine == kPerLine - 1 || i + 1 == radii.size()) text += "\r\n";
  }
  return text;
}

std::function<double(double)> outlineFromTrace(const OmaTrace& trace) {
  std::vector<double> mm;
  mm.reserve(trace.radii.size());
  for (int r : trace.radii) mm.push_back(r / 100.0);
  return [mm = std::move(mm)](double angle) {
    if (mm.empty()) return 0.0;
    constexpr double kTurn = 2 * std::numbers::pi;  // radians
    double a = std::fmod(angle, kTurn);
    if (a < 0) a += kTurn;
    const double position = a / kTurn * static_cast<double>(mm.size());
    const double below = std::floor(position);
    const std::size_t i0 = static_cast<std::size_t>(below) % mm.size();
    const std::size_t i1 = (i0 + 1) % mm.size();
    const double fraction = position - below;
    return mm[i0] + fraction * (mm[i1] - mm[i0]);
  };
}

}  // namespace kovrel
