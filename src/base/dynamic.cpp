#include "base/dynamic.h"

#include "base/number_text.h"

namespace kovrel {

double Dynamic::toNumber() const {
  if (const auto* d = std::get_if<double>(&value_)) return *d;
  if (const auto* s = std::get_if<std::string>(&value_)) return readNumber(*s);
  return 0.0;
}

bool Dynamic::isNumeric() const {
  if (const auto* s = std::get_if<std::string>(&value_)) return s->empty() || isNumberText(*s);
  return true;
}

std::string Dynamic::toText() const {
  if (const auto* s = std::get_if<std::string>(&value_)) return *s;
  if (const auto* d = std::get_if<double>(&value_)) return shortestNumber(*d);
  return {};
}

bool Dynamic::equals(double number) const {
  if (const auto* s = std::get_if<std::string>(&value_)) {
    if (s->empty()) return number == 0.0;
    return isNumberText(*s) && readNumber(*s) == number;
  }
  return toNumber() == number;
}

bool Dynamic::equals(std::string_view text) const {
  if (isEmpty()) return text.empty() || (isNumberText(text) && readNumber(text) == 0.0);
  if (isNumber()) return isNumberText(text) && readNumber(text) == toNumber();
  return std::get<std::string>(value_) == text;
}

bool operator==(const Dynamic& a, const Dynamic& b) {
  if (b.isNumber()) return a.equals(b.toNumber());
  if (b.isText()) return a.equals(std::string_view(std::get<std::string>(b.value_)));
  return a.equals(0.0) || a.equals(std::string_view());
}

}  // namespace kovrel
