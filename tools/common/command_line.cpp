#include "common/command_line.h"

#include <charconv>
#include <cmath>

namespace kovrel::toolkit {

bool toInt(const std::string& text, int& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool toDouble(const std::string& text, double& out) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

bool takeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out, std::string& error) {
  if (i + 1 >= args.size()) {
    error = args[i] + " needs a value";
    return false;
  }
  out = args[++i];
  return true;
}

}  // namespace kovrel::toolkit
