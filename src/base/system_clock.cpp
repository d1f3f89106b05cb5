#include "base/system_clock.h"

namespace kovrel {

int secondOfMinute(std::chrono::system_clock::time_point t) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(t.time_since_epoch()).count();
  const auto field = seconds % 60;
  return static_cast<int>(field < 0 ? field + 60 : field);  // before 1970 the remainder is negative
}

int SystemClock::currentSecond() const { return secondOfMinute(std::chrono::system_clock::now()); }

}  // namespace kovrel
