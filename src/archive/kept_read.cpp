#include "archive/kept_read.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "geometry/prepare.h"
#include "geometry/prepare_steps.h"
#include "scanner/capture.h"

namespace kovrel {
namespace {

constexpr int kSamplesPerRecord = 16;
constexpr std::string_view kEnd = "\r\n";

// Exactly the double: the shortest text that reads back as the same value, never the locale's.
std::string exact(double value) {
  char buf[32];
  const auto [end, error] = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, error == std::errc() ? end : buf);
}

std::string twoDecimals(double mm) {
  char buf[32];
  const auto [end, error] = std::to_chars(buf, buf + sizeof buf, mm, std::chars_format::fixed, 2);
  return std::string(buf, error == std::errc() ? end : buf);
}

// A hand edit may write anything: only finite values within what a read or an operator can give
// (|value| below a million) come back.
bool parseExact(std::string_view s, double& value) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(value) &&
         std::fabs(value) < 1e6;
}

bool parseInt(std::string_view s, int& value) {
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// Header bytes may be anything the tracer sent: kept as hexadecimal.
std::string hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

bool unhex(std::string_view text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (ec != std::errc() || end != text.data() + i + 2) return false;
    bytes += static_cast<char>(value);
  }
  return true;
}

// A send's outcome on one line of the file.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::vector<std::string_view> split(std::string_view s, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = s.find(separator);
    parts.push_back(s.substr(0, at));
    if (at == std::string_view::npos) return parts;
    s.remove_prefix(at + 1);
  }
}

void record(std::string& text, std::string_view label, std::string_view value) {
  text += label;
  text += '=';
  text += value;
  text += kEnd;
}

// Kovrel's own records of a file, read back. False: missing or malformed.
struct OwnRecords {
  bool mirrored = false, turn = false, lens = false, manual = false, tip = false, header = false;
  bool temperature = false, jobs = false, arm = false, end = false;
};

bool parseArm(std::string_view value, ArmCalibration& arm) {
  const auto f = split(value, ';');
  return f.size() == 7 && parseExact(f[0], arm.grausperpols) && parseExact(f[1], arm.midaradi) &&
         parseExact(f[2], arm.angleplus) && parseExact(f[3], arm.polsoseix) &&
         parseExact(f[4], arm.carrera) && parseExact(f[5], arm.angle_radi_central) &&
         parseExact(f[6], arm.pi);
}

}  // namespace

std::string wallTimeText(const WallTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return text;
}

std::optional<WallTime> parseWallTime(std::string_view text) {
  // "YYYY-MM-DD HH:MM:SS"
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  WallTime t;
  const bool ok = parseInt(text.substr(0, 4), t.year) && parseInt(text.substr(5, 2), t.month) &&
                  parseInt(text.substr(8, 2), t.day) && parseInt(text.substr(11, 2), t.hour) &&
                  parseInt(text.substr(14, 2), t.minute) && parseInt(text.substr(17, 2), t.second);
  if (!ok || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 60 || t.year < 0 || t.hour < 0 || t.minute < 0 || t.second < 0)
    return std::nullopt;
  return t;
}

ShapeChoices shapeChoicesOf(const SharedState& s, double manualOffsetMm) {
  ShapeChoices c;
  c.mirrored = s.signe_x.toNumber() < 0;
  c.turn = s.gir_acumulat;
  c.lensTypeChosen = static_cast<int>(s.tipoMontura.toNumber());
  c.lensOffsetMm = s.normalOaire.toNumber();
  c.manualOffsetMm = manualOffsetMm;
  return c;
}

void remeasure(KeptRead& kept, const SharedState& s, double filterscope) {
  std::vector<double> radii;
  if (s.ja_Enviat == 1) {
    radii = sentRadii(s.forma_auxiliar);  // sent: ENVIAR delivers the stored trace again
  } else {
    radii = sentRadii(
        prepareShape(s.forma_treball, preparationInputs(s, kept.choices.manualOffsetMm, filterscope))
            .forma_auxiliar);
  }
  // The host takes the first radius rounded (halves to even) and adds the whole codes to it:
  // those are the radii it rebuilds, and the ones the file gives.
  kept.radii.clear();
  const double first = radii.empty() ? 0.0 : preparation::roundHalfEven(radii.front());
  for (const double r : radii)
    kept.radii.push_back(static_cast<int>(std::lround(first + (r - radii.front()))));
  kept.sizes = measureShape(std::vector<double>(kept.radii.begin(), kept.radii.end()));
}

KeptRead keptReadOf(const SharedState& s, double manualOffsetMm, double filterscope, const WallTime& time) {
  KeptRead kept;
  kept.read = recordedReadOf(s);
  kept.job = std::to_string(kept.read.jobs);
  kept.time = time;
  kept.choices = shapeChoicesOf(s, manualOffsetMm);
  remeasure(kept, s, filterscope);
  return kept;
}

std::string writeKeptRead(const KeptRead& k) {
  std::string text;
  text.reserve(32 * 1024);
  // What any lab's reader looks at first, then the trace itself.
  record(text, "JOB", k.job);
  if (k.read.samples.size() == static_cast<std::size_t>(kSamplesPerRead))
    record(text, "_KOVREL", std::to_string(kKeptReadVersion));
  record(text, "_FECHA", wallTimeText(k.time));
  record(text, "HBOX", twoDecimals(k.sizes.a));
  record(text, "VBOX", twoDecimals(k.sizes.b));
  record(text, "FED", twoDecimals(k.sizes.dm));
  record(text, "CIRC", twoDecimals(k.sizes.perimeter));
  for (const SendRecord& send : k.sends)
    record(text, "_ENVIO", wallTimeText(send.time) + ";" + oneLine(send.outcome));
  text += writeOmaTrace(k.radii);
  // A shape that came from a lab's file has no read of its own to reproduce: its trace is all.
  if (k.read.samples.size() != static_cast<std::size_t>(kSamplesPerRead)) return text;
  // What reproduces the read exactly.
  record(text, "_ESPEJO", k.choices.mirrored ? "1" : "0");
  record(text, "_GIRO", exact(k.choices.turn));
  record(text, "_TIPO", std::to_string(k.choices.lensTypeChosen) + ";" + exact(k.choices.lensOffsetMm));
  record(text, "_MANUAL", exact(k.choices.manualOffsetMm));
  record(text, "_PUNTA", hex(k.read.serial_number));
  record(text, "_CABECERA", hex(k.read.header));
  record(text, "_TEMPERATURA", std::to_string(k.read.temperature) + ";" + exact(k.read.offset_temperatura));
  record(text, "_CONTADOR", std::to_string(k.read.jobs));
  const ArmCalibration& a = k.read.arm;
  record(text, "_BRAZO",
         exact(a.grausperpols) + ";" + exact(a.midaradi) + ";" + exact(a.angleplus) + ";" +
             exact(a.polsoseix) + ";" + exact(a.carrera) + ";" + exact(a.angle_radi_central) + ";" +
             exact(a.pi));
  for (std::size_t i = 0; i < k.read.samples.size(); ++i) {
    text += i % kSamplesPerRecord == 0 ? "_MUESTRAS=" : ";";
    text += std::to_string(k.read.samples[i]);
    if (i % kSamplesPerRecord == kSamplesPerRecord - 1 || i + 1 == k.read.samples.size()) text += kEnd;
  }
  // The last record: a file cut short (a full disk, a copy broken off) lacks it.
  record(text, "_FIN", std::to_string(k.read.samples.size()));
  return text;
}

TraceFileContent parseTraceFile(std::string_view text) {
  TraceFileContent content;
  if (!readOmaTrace(text, content.trace, &content.reason)) return content;

  KeptRead kept;
  OwnRecords own;
  int version = 0;
  bool versionGiven = false, malformed = false;
  int endCount = -1;
  bool ours = false;  // the file carries Kovrel's own records
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view label = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (label == "JOB") {
      content.job = std::string(value.substr(0, 64));
    } else if (label == "_FECHA") {
      content.time = parseWallTime(value);
    } else if (label == "_ENVIO") {
      ++content.sends;
      const auto semicolon = value.find(';');
      const auto time = parseWallTime(value.substr(0, semicolon));
      const std::string outcome(semicolon == std::string_view::npos ? "" : value.substr(semicolon + 1, 512));
      content.lastOutcome = outcome;
      if (time) kept.sends.push_back({*time, outcome});
    } else if (label.starts_with('_')) {
      if (label == "_KOVREL") {
        ours = true;
        versionGiven = parseInt(value, version);
      } else if (label == "_ESPEJO") {
        own.mirrored = value == "0" || value == "1";
        kept.choices.mirrored = value == "1";
      } else if (label == "_GIRO") {
        own.turn = parseExact(value, kept.choices.turn);
      } else if (label == "_TIPO") {
        const auto f = split(value, ';');
        own.lens = f.size() == 2 && parseInt(f[0], kept.choices.lensTypeChosen) &&
                   parseExact(f[1], kept.choices.lensOffsetMm);
      } else if (label == "_MANUAL") {
        own.manual = parseExact(value, kept.choices.manualOffsetMm);
      } else if (label == "_PUNTA") {
        own.tip = unhex(value, kept.read.serial_number);
      } else if (label == "_CABECERA") {
        own.header = unhex(value, kept.read.header);
      } else if (label == "_TEMPERATURA") {
        const auto f = split(value, ';');
        own.temperature = f.size() == 2 && parseInt(f[0], kept.read.temperature) &&
                          parseExact(f[1], kept.read.offset_temperatura);
      } else if (label == "_CONTADOR") {
        own.jobs = parseInt(value, kept.read.jobs);
      } else if (label == "_BRAZO") {
        own.arm = parseArm(value, kept.read.arm);
      } else if (label == "_MUESTRAS") {
        for (const std::string_view field : split(value, ';')) {
          int sample = 0;
          if (!parseInt(field, sample) || kept.read.samples.size() >= kSamplesPerRead) {
            malformed = true;
            break;
          }
          kept.read.samples.push_back(sample);
        }
      } else if (label == "_FIN") {
        own.end = parseInt(value, endCount);
      }
    }
  }
  if (versionGiven && version > kKeptReadVersion) {
    content.reason =
        "es de una versión más nueva de Kovrel (registros de la versión " + std::to_string(version) + ")";
    return content;
  }
  content.usable = true;
  if (!ours) return content;  // a lab's trace: the radii are the shape

  // The operator's choices within what the buttons give: a turn of a few turns, offsets of mm.
  const ShapeChoices& c = kept.choices;
  const bool sensible = std::fabs(c.turn) < 100 && std::fabs(c.lensOffsetMm) < 10 &&
                        std::fabs(c.manualOffsetMm) < 10 && (c.lensTypeChosen == 0 || c.lensTypeChosen == 1);
  const bool whole = sensible && versionGiven && own.mirrored && own.turn && own.lens && own.manual &&
                     own.tip && own.header && own.temperature && own.jobs && own.arm && own.end &&
                     !malformed && kept.read.samples.size() == static_cast<std::size_t>(kSamplesPerRead) &&
                     endCount == static_cast<int>(kept.read.samples.size());
  if (!whole) {
    content.usable = false;
    content.reason = "está incompleto o modificado a mano (faltan o sobran datos de la lectura)";
    return content;
  }
  kept.job = content.job;
  if (content.time) kept.time = *content.time;
  kept.radii = content.trace.radii;
  std::vector<double> radii(kept.radii.begin(), kept.radii.end());
  kept.sizes = measureShape(radii);
  content.kept = std::move(kept);
  return content;
}

bool restoreKeptRead(const KeptRead& kept, SharedState& s) {
  TraceTable trace;
  if (!workingTraceOf(kept.read, trace)) return false;
  s.forma_treball = std::move(trace);
  s.serial_number = kept.read.serial_number;
  s.signe_x = kept.choices.mirrored ? -1 : 1;
  s.signe_y = 1;
  s.gir_acumulat = kept.choices.turn;
  s.tipoMontura = kept.choices.lensTypeChosen;
  s.normalOaire = kept.choices.lensOffsetMm;
  s.ja_Enviat = 0;
  s.raw_samples = kept.read.samples;
  return true;
}

}  // namespace kovrel
