// The OMA trace reader on arbitrary text: an accepted trace has its radii and survives the writer.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "archive/trace_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kovrel::OmaTrace trace, again;
  std::string error;
  if (!kovrel::readOmaTrace(std::string_view(reinterpret_cast<const char*>(data), size), trace, &error))
    return 0;
  if (trace.count != static_cast<int>(trace.radii.size())) throw std::logic_error("count and radii differ");
  if (!kovrel::readOmaTrace(kovrel::writeOmaTrace(trace.radii), again, &error) || again.radii != trace.radii)
    throw std::logic_error("written trace reads back differently: " + error);
  kovrel::outlineFromTrace(trace)(static_cast<double>(size) / 7.0);
  return 0;
}
