#pragma once
// A timer that ticks only when the test says so.

#include "base/clock.h"
#include "base/timer.h"

namespace kovrel::testing {

class FakeTimer : public Timer {
 public:
  void start() override { active = true; }
  void stop() override { active = false; }
  bool isActive() const override { return active; }
  // One tick, as the window would deliver it while the timer runs.
  void tick() {
    if (active && onTick) onTick();
  }
  bool active = false;
};

class FakeClock : public Clock {
 public:
  int currentSecond() const override { return second; }
  void advance(int seconds) { second = (second + seconds) % 60; }
  int second = 0;
};

}  // namespace kovrel::testing
