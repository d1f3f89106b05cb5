#pragma once
// Mirror and turn of the read shape on screen. The buttons never touch the trace: they change
// the mirror factor signe_x and the accumulated turn gir_acumulat, and redraw. Holding a turn
// button repeats the step from its timer.

#include <functional>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "scanner/plot.h"

namespace kovrel {

inline constexpr double kTurnStep = 0.0174532925199 / 6;  // one sixth of a degree, radians

class ShapeEditor {
 public:
  // The two timers tick every 20 ms while a turn button is held; the editor sets their onTick.
  ShapeEditor(SharedState& state, Window& window, Plot& plot, Timer& timerHorari, Timer& timerAntiHorari);

  void mirallHoritzontal_Click();
  void Horari_MouseDown();
  void Horari_MouseUp();
  void antiHorari_MouseDown();
  void antiHorari_MouseUp();
  void Timer_horari_Timer() { Horari_MouseDown(); }
  void Timer_antiHorari_Timer() { antiHorari_MouseDown(); }

  // Clears the plot, draws the axes and the 4095 points of forma_treball turned and mirrored.
  void redraw();

  // After every redraw (a mirror or a turn step, also from a held button's timer).
  std::function<void()> onRedraw;

 private:
  enum class Direction { Clockwise, CounterClockwise };
  void mouseDown(Timer& timer, Direction direction);
  void step(Direction direction);

  SharedState& s_;
  Window& w_;
  Plot& plot_;
  Timer& horari_;
  Timer& antiHorari_;
};

}  // namespace kovrel
