#include "line_pacer.h"

#include <algorithm>

namespace kovrel::tools {
namespace {
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
}  // namespace

void LinePacer::begin(std::vector<std::uint8_t> bytes, Nanoseconds now) {
  bytes_ = std::move(bytes);
  sent_ = 0;
  start_ = now;
}

std::size_t LinePacer::dueCount(Nanoseconds now) const {
  if (rate_ <= 0) return bytes_.size();
  if (now <= start_) return 0;
  // Whole bytes whose last stop bit has left the machine by `now`. Integer nanoseconds keep the
  // schedule exact for any length of run a simulator will see (days).
  const std::int64_t count = (now - start_).count() * rate_ / kNanosPerSecond;
  return std::min(bytes_.size(), static_cast<std::size_t>(count));
}

std::span<const std::uint8_t> LinePacer::due(Nanoseconds now) const {
  const std::size_t upTo = dueCount(now);
  if (upTo <= sent_) return {};
  return std::span<const std::uint8_t>(bytes_).subspan(sent_, upTo - sent_);
}

void LinePacer::consumed(std::size_t count) { sent_ = std::min(bytes_.size(), sent_ + count); }

LinePacer::Nanoseconds LinePacer::duration() const {
  if (rate_ <= 0) return Nanoseconds{0};
  const auto size = static_cast<std::int64_t>(bytes_.size());
  return Nanoseconds{(size * kNanosPerSecond + rate_ - 1) / rate_};
}

}  // namespace kovrel::tools
