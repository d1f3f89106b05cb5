// A read of arbitrary bytes in arbitrary chunks: the capture never crashes, keeps a finite outline.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "capture_rig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  kovrel::testing::CaptureRig rig;
  rig.start();
  // Each chunk's length (1..256) is the byte before it: the data paces its own arrival.
  for (std::size_t at = 1, chunk = data[0] + 1u; at < size;) {
    const std::size_t n = std::min(chunk, size - at);
    rig.port.feed(std::string(reinterpret_cast<const char*>(data + at), n));
    at += n;
    chunk = data[at - 1] + 1u;
  }
  for (int i = 1; i <= 4095; ++i)
    if (!std::isfinite(rig.state.forma_llegida.radius(i))) throw std::logic_error("radius not finite");
  return 0;
}
