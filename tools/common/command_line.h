#pragma once
// Reading the tools' command lines: whole numbers and decimals written in full, and the value
// that follows an option.

#include <cstddef>
#include <string>
#include <vector>

namespace kovrel::toolkit {

// The whole text is the number ("3", "-12"); anything else, or nothing, is refused.
bool toInt(const std::string& text, int& out);
// The whole text is a finite decimal number with "." ("0.15", "-0.1").
bool toDouble(const std::string& text, double& out);

// Takes the value after the option at args[i] into `out` and moves i onto it; false (with
// `error` set) when the option is the last argument.
bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out, std::string& error);

}  // namespace kovrel::toolkit
