#pragma once
// Wall clock as the host link uses it: its time-outs count whole seconds of the clock's seconds
// field (0..59). Injected so tests never wait for time to pass.

namespace kovrel {

class Clock {
 public:
  virtual ~Clock() = default;
  // The current second of the minute, 0..59.
  virtual int currentSecond() const = 0;
};

}  // namespace kovrel
