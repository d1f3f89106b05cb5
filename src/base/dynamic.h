#pragma once
// A value that holds nothing, a number or a text. The settings loader stores texts ("10"), the
// program stores numbers (10); both must compare as the same value, so a text met by a number is
// read as a number first. An empty value equals 0 and "".

#include <string>
#include <string_view>
#include <variant>

namespace kovrel {

class Dynamic {
 public:
  Dynamic() = default;
  Dynamic(double v) : value_(v) {}  // NOLINT(google-explicit-constructor): used like a number
  Dynamic(int v) : value_(static_cast<double>(v)) {}  // NOLINT(google-explicit-constructor)
  Dynamic(std::string v) : value_(std::move(v)) {}    // NOLINT(google-explicit-constructor)
  Dynamic(const char* v) : value_(std::string(v)) {}  // NOLINT(google-explicit-constructor)

  bool isEmpty() const { return std::holds_alternative<std::monostate>(value_); }
  bool isNumber() const { return std::holds_alternative<double>(value_); }
  bool isText() const { return std::holds_alternative<std::string>(value_); }

  // Numeric value: a number as it is; a text read with the "." number reader; empty is 0.
  double toNumber() const;
  // True when the value can take part in arithmetic: a number, empty, or a numeric text.
  bool isNumeric() const;
  // Text form: a text as it is; a number in its shortest form ("3", "0.05"); empty is "".
  std::string toText() const;

  // "10" == 10; empty == 0; empty == "". A text that is not a number never equals a number.
  bool equals(double number) const;
  bool equals(std::string_view text) const;

  friend bool operator==(const Dynamic& a, double b) { return a.equals(b); }
  friend bool operator==(const Dynamic& a, int b) { return a.equals(static_cast<double>(b)); }
  friend bool operator==(const Dynamic& a, const char* b) { return a.equals(std::string_view(b)); }
  friend bool operator==(const Dynamic& a, const std::string& b) { return a.equals(b); }
  friend bool operator==(const Dynamic& a, const Dynamic& b);

 private:
  std::variant<std::monostate, double, std::string> value_;
};

}  // namespace kovrel
