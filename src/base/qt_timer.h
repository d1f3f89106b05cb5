#pragma once
// A window timer over QTimer: ticks on the event loop every interval while it runs.

#include <QTimer>

#include "base/timer.h"

namespace kovrel {

class QtTimer : public Timer {
 public:
  explicit QtTimer(int intervalMs);

  void start() override { timer_.start(); }
  void stop() override { timer_.stop(); }
  bool isActive() const override { return timer_.isActive(); }
  int intervalMs() const { return timer_.interval(); }

 private:
  QTimer timer_;
};

}  // namespace kovrel
