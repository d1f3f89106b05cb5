// Trace files on arbitrary text: an accepted trace has its radii and survives the writer; a kept
// read that is accepted rebuilds its working trace and writes back to the same content.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "archive/kept_read.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  kovrel::OmaTrace trace, again;
  std::string error;
  if (!kovrel::readOmaTrace(text, trace, &error)) return 0;
  if (trace.count != static_cast<int>(trace.radii.size())) throw std::logic_error("count and radii differ");
  if (!kovrel::readOmaTrace(kovrel::writeOmaTrace(trace.radii), again, &error) || again.radii != trace.radii)
    throw std::logic_error("written trace reads back differently: " + error);
  kovrel::outlineFromTrace(trace)(static_cast<double>(size) / 7.0);

  const kovrel::TraceFileContent content = kovrel::parseTraceFile(text);
  if (!content.kept) return 0;
  kovrel::SharedState state;
  if (!kovrel::restoreKeptRead(*content.kept, state))
    throw std::logic_error("a whole kept read does not restore");
  const kovrel::TraceFileContent back = kovrel::parseTraceFile(kovrel::writeKeptRead(*content.kept));
  if (!back.kept || back.kept->read.samples != content.kept->read.samples ||
      back.kept->choices != content.kept->choices)
    throw std::logic_error("a kept read writes back differently");
  return 0;
}
