#include "base/qt_timer.h"

namespace kovrel {

QtTimer::QtTimer(int intervalMs) {
  timer_.setInterval(intervalMs);
  // The panel slide and the turn repeat count ticks: a precise timer keeps 20 ms near 20 ms.
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (onTick) onTick();
  });
}

}  // namespace kovrel
