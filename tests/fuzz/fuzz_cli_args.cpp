// kovrel-cli's options from arbitrary NUL-separated words: no crash, nothing outside its ranges.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli_args.h"
#include "geometry/prepare_steps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back().push_back(static_cast<char>(data[i]));
  }
  std::string error;
  const auto parsed = kovrel::cli::parseCliArgs(args, error);
  if (!parsed) return 0;
  if (!kovrel::preparation::filterInRange(parsed->filterscope) || std::abs(parsed->turnSteps) > 2160)
    throw std::logic_error("an option outside its documented range was accepted");
  return 0;
}
