#pragma once
// Hands the bytes of one read to the line at the rate the tracer really sends them. At
// 57600 baud with 8 data bits, no parity and 1 stop bit every byte takes 10 bit times, so the
// machine delivers 5760 bytes a second and a whole read (8262 bytes) takes about 1.43 s.
//
// The schedule is absolute: the number of bytes due is computed from the time elapsed since the
// read began, never by adding a delay per byte, so a late timer tick is caught up at the next
// one and the read never drifts longer than the real machine's.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kovrel::tools {

inline constexpr std::int64_t kTracerBytesPerSecond = 57600 / 10;

class LinePacer {
 public:
  using Nanoseconds = std::chrono::nanoseconds;

  // `bytesPerSecond` 0 means as fast as the line takes them.
  explicit LinePacer(std::int64_t bytesPerSecond = kTracerBytesPerSecond) : rate_(bytesPerSecond) {}

  // A new read of `bytes` starts at monotonic time `now`.
  void begin(std::vector<std::uint8_t> bytes, Nanoseconds now);

  // The bytes due by `now` that have not been handed over yet (empty when none are due).
  std::span<const std::uint8_t> due(Nanoseconds now) const;
  // `count` bytes of the last `due` span were taken by the line; a full line takes fewer, and
  // the rest stays due.
  void consumed(std::size_t count);

  bool active() const { return !bytes_.empty() && sent_ < bytes_.size(); }
  bool finished() const { return !bytes_.empty() && sent_ == bytes_.size(); }
  std::size_t sent() const { return sent_; }
  std::size_t total() const { return bytes_.size(); }
  // Time from the start of the read until its last byte is due.
  Nanoseconds duration() const;

 private:
  std::size_t dueCount(Nanoseconds now) const;

  std::int64_t rate_;  // bytes per second; 0 = unpaced
  std::vector<std::uint8_t> bytes_;
  std::size_t sent_ = 0;
  Nanoseconds start_{0};
};

}  // namespace kovrel::tools
