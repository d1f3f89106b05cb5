#include "host/oma_framing.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace kovrel::oma {
namespace {

// The format both sides agree on: 800 radii, each after the first as a one-byte difference.
constexpr std::string_view kTraceFormat = "TRCFMT=3;800;E;R;D";
constexpr int kRadiusCount = 800;

// Codes that the host's reader takes for framing or flow control (ACK, LF, CR, XON, XOFF, NAK,
// end of file, ESC, FS, GS, RS) or for the field separators of its records (* , ; = @).
constexpr std::array<std::uint8_t, 16> kEscaped = {6,  10, 13, 17, 19, 21, 26, 27,
                                                   28, 29, 30, 42, 44, 59, 61, 64};

void append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

void appendLine(Bytes& out, std::string_view text) {
  append(out, text);
  out.push_back(CR);
  out.push_back(LF);
}

void appendJob(Bytes& out, std::string_view job) {
  append(out, "JOB=");
  out.push_back(QUOTE);
  append(out, job);
  out.push_back(QUOTE);
  out.push_back(CR);
  out.push_back(LF);
}

// Nearest integer, a half going to the even neighbour (the host expects the radius rounded the
// way the lab's own software rounds).
double roundHalfEven(double v) {
  double lower = std::floor(v);
  double fraction = v - lower;
  if (fraction > 0.5) return lower + 1.0;
  if (fraction < 0.5) return lower;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

bool fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

bool startsWith(const Bytes& b, std::size_t at, std::string_view text) {
  if (b.size() < at + text.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (b[at + i] != static_cast<std::uint8_t>(text[i])) return false;
  return true;
}

}  // namespace

Bytes requestBytes(const std::string& jobNumberText) {
  Bytes out;
  out.reserve(80);
  out.push_back(FS);
  appendLine(out, "REQ=TRC");
  appendJob(out, jobNumberText);
  appendLine(out, "MODEL=Kovrel");
  appendLine(out, kTraceFormat);
  out.push_back(RS);
  out.push_back(GS);
  return out;
}

bool needsEscape(std::uint8_t code) {
  for (std::uint8_t e : kEscaped)
    if (e == code) return true;
  return false;
}

bool firstRadiusBytes(double hundredths, std::uint8_t& low, std::uint8_t& high) {
  if (!std::isfinite(hundredths)) return false;
  // Rounded as a whole before it is split, as every other radius is: a radius half a hundredth
  // below a multiple of 256 then carries into the high byte instead of asking for a low byte
  // of 256. Halves go to the even neighbour; 256 is even, so the low byte rounds as before.
  const double r = roundHalfEven(hundredths);
  // A radius past 655.35 mm or below 0 has no two-byte form.
  if (r < 0.0 || r > 65535.0) return false;
  const double h = std::floor(r / 256.0);
  high = static_cast<std::uint8_t>(h);
  low = static_cast<std::uint8_t>(r - 256.0 * h);
  return true;
}

Bytes answerBytes(const std::string& jobLabelText, double firstRadius, const std::vector<int>& codes) {
  if (codes.size() != kRadiusCount - 1) throw std::range_error("a trace has 799 differences");
  std::uint8_t low = 0, high = 0;
  if (!firstRadiusBytes(firstRadius, low, high)) throw std::range_error("first radius has no two-byte form");

  Bytes out;
  out.reserve(2 * kRadiusCount + 80);
  out.push_back(ACK);
  out.push_back(FS);
  appendLine(out, "ANS=1");
  appendJob(out, jobLabelText);
  appendLine(out, kTraceFormat);
  append(out, "R=");
  // The absolute radius is read by position, so its bytes go as they are.
  out.push_back(low);
  out.push_back(high);
  for (int code : codes) {
    if (code < 0 || code > 255) throw std::range_error("difference code outside one byte");
    auto c = static_cast<std::uint8_t>(code);
    if (needsEscape(c)) {
      out.push_back(ESC);
      out.push_back(static_cast<std::uint8_t>(c + 128));
    } else {
      out.push_back(c);
    }
  }
  out.push_back(CR);
  out.push_back(LF);
  out.push_back(RS);
  out.push_back(GS);
  out.push_back(ACK);
  return out;
}

bool decodeAnswerRadii(const Bytes& answer, std::vector<int>& radii, std::string* error) {
  radii.clear();
  std::size_t i = 0;
  if (answer.size() < 2 || answer[0] != ACK || answer[1] != FS)
    return fail(error, "answer must open with ACK FS");
  i = 2;

  int expected = kRadiusCount;
  bool haveRadii = false;
  // Text records up to the R= record, each ended by CR LF; the R= record is binary.
  while (i < answer.size() && answer[i] != RS) {
    if (startsWith(answer, i, "R=")) {
      if (haveRadii) return fail(error, "two R= records");
      i += 2;
      if (i + 2 > answer.size()) return fail(error, "R= record cut short");
      int radius = answer[i] + 256 * answer[i + 1];
      i += 2;
      radii.push_back(radius);
      // Codes until the CR that closes the record: CR itself is always escaped inside it.
      while (i < answer.size() && answer[i] != CR) {
        std::uint8_t c = answer[i++];
        if (c == ESC) {
          if (i >= answer.size()) return fail(error, "ESC at end of answer");
          std::uint8_t escaped = answer[i++];
          if (escaped < 128 || !needsEscape(static_cast<std::uint8_t>(escaped - 128)))
            return fail(error, "ESC before a byte that is not an escaped code");
          c = static_cast<std::uint8_t>(escaped - 128);
        } else if (needsEscape(c)) {
          return fail(error, "framing byte inside the R= record");
        }
        radius += c > 127 ? c - 256 : c;
        radii.push_back(radius);
      }
      haveRadii = true;
    } else {
      std::size_t start = i;
      while (i < answer.size() && answer[i] != CR && answer[i] != RS) ++i;
      std::string record(answer.begin() + static_cast<std::ptrdiff_t>(start),
                         answer.begin() + static_cast<std::ptrdiff_t>(i));
      if (record.rfind("TRCFMT=", 0) == 0) {
        // TRCFMT=3;<count>;E;R;D
        auto first = record.find(';');
        auto second = first == std::string::npos ? first : record.find(';', first + 1);
        if (second == std::string::npos) return fail(error, "TRCFMT record without a count");
        try {
          expected = std::stoi(record.substr(first + 1, second - first - 1));
        } catch (const std::exception&) {
          return fail(error, "TRCFMT count is not a number");
        }
      }
    }
    if (i + 1 >= answer.size() || answer[i] != CR || answer[i + 1] != LF)
      return fail(error, "record not ended by CR LF");
    i += 2;
  }
  if (!haveRadii) return fail(error, "no R= record");
  if (static_cast<int>(radii.size()) != expected) return fail(error, "radius count differs from TRCFMT");
  if (i + 3 != answer.size() || answer[i] != RS || answer[i + 1] != GS || answer[i + 2] != ACK)
    return fail(error, "answer must close with RS GS ACK");
  return true;
}

}  // namespace kovrel::oma
