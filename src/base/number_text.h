#pragma once
// Numbers as the settings file and the tracer's header write them: always with "." as the
// decimal point, whatever the operator's locale, so a file written on one PC reads the same on
// another.

#include <string>
#include <string_view>

namespace kovrel {

// Reads the longest leading number of `text`: optional sign, digits, optional "." with digits,
// optional exponent ("E" or "D", optional sign, digits). Blanks and tabs anywhere are ignored
// (and line feeds too when `skipLineFeeds`, as the tracer's header pads its fields with them).
// Text with no number at all reads as 0.
double readNumber(std::string_view text, bool skipLineFeeds = false);

// True when `text` (blanks and tabs aside) is a number and nothing else.
bool isNumberText(std::string_view text);

// Settings-file form of a number: one space in front when not negative, "-" when negative,
// up to 15 significant digits, no trailing zeros, exponent form for very small or large values.
std::string writeNumber(double value);

// Shortest plain form of a number (no leading space): 3 gives "3", 0.05 gives "0.05".
std::string shortestNumber(double value);

// The shortest form with the operator's decimal separator (a comma in a Spanish locale).
std::string localeNumber(double value, char decimalSeparator);

// Reads a number typed in the operator's locale (decimal separator `decimalSeparator`; a "."
// is accepted too). Returns false when the text is not a number.
bool parseLocaleNumber(std::string_view text, char decimalSeparator, double& out);

}  // namespace kovrel
