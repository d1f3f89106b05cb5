#pragma once
// A window timer: ticks every interval on the user-interface thread while it runs.
// The Qt window backs it with a QTimer; tests tick it by hand.

#include <functional>

namespace kovrel {

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  std::function<void()> onTick;
};

}  // namespace kovrel
