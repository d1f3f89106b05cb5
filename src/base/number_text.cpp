#include "base/number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace kovrel {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string compact(std::string_view text, bool skipLineFeeds) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t' || (skipLineFeeds && c == '\n')) continue;
    out.push_back(c);
  }
  return out;
}

// Length of the longest leading number of `s` (0 when there is none).
std::size_t numberLength(const std::string& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    std::size_t j = i + 1;
    std::size_t fraction = 0;
    while (j < s.size() && isDigit(s[j])) ++j, ++fraction;
    if (digits + fraction > 0) i = j;
    digits += fraction;
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    std::size_t expDigits = 0;
    while (j < s.size() && isDigit(s[j])) ++j, ++expDigits;
    if (expDigits > 0) i = j;
  }
  return i;
}

}  // namespace

double readNumber(std::string_view text, bool skipLineFeeds) {
  std::string s = compact(text, skipLineFeeds);
  std::size_t n = numberLength(s);
  if (n == 0) return 0.0;
  // from_chars never consults the C locale: once the windowing library has switched the process
  // to the operator's locale, strtod would stop at the "." of "0.5" in a Spanish one.
  std::size_t first = s[0] == '+' ? 1 : 0;
  std::string number = s.substr(first, n - first);
  for (char& c : number)
    if (c == 'D' || c == 'd') c = 'E';
  double v = 0.0;
  auto result = std::from_chars(number.data(), number.data() + number.size(), v);
  if (result.ec != std::errc()) return 0.0;  // beyond the range of a Double
  return std::isfinite(v) ? v : 0.0;
}

bool isNumberText(std::string_view text) {
  std::string s = compact(text, false);
  return !s.empty() && numberLength(s) == s.size();
}

std::string shortestNumber(double value) {
  if (value == 0.0 || !std::isfinite(value)) return "0";
  // to_chars is locale-independent (snprintf would write "0,5" under a Spanish locale) and, with
  // a precision, behaves like "%.15g": 15 significant digits, trailing zeros dropped.
  char buf[64];
  auto [end, error] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  if (error != std::errc()) return "0";
  std::string s(buf, end);
  // Exponents as the settings file has always had them: "1E-5", "1.5E+20".
  auto e = s.find('e');
  if (e != std::string::npos) {
    std::string mantissa = s.substr(0, e);
    char sign = s[e + 1];
    std::string exponent = s.substr(e + 2);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    s = mantissa + "E" + sign + exponent;
  }
  return s;
}

std::string writeNumber(double value) {
  std::string s = shortestNumber(value);
  return s[0] == '-' ? s : " " + s;
}

std::string localeNumber(double value, char decimalSeparator) {
  std::string s = shortestNumber(value);
  for (char& c : s)
    if (c == '.') c = decimalSeparator;
  return s;
}

bool parseLocaleNumber(std::string_view text, char decimalSeparator, double& out) {
  std::string s;
  for (char c : text) s.push_back(c == decimalSeparator ? '.' : c);
  if (!isNumberText(s)) return false;
  out = readNumber(s);
  return true;
}

}  // namespace kovrel
