#pragma once
// The wall clock's seconds field, as the host exchange counts its time-outs.

#include <chrono>

#include "base/clock.h"

namespace kovrel {

// The seconds field (0..59) of a point in time. Time zones differ from UTC by whole minutes, so
// the field is the same in local time.
int secondOfMinute(std::chrono::system_clock::time_point t);

class SystemClock : public Clock {
 public:
  int currentSecond() const override;
};

}  // namespace kovrel
