#include "geometry/shape_editor.h"

#include <cmath>

#include "geometry/prepare_steps.h"

namespace kovrel {
namespace {

// A held button steps once on the first tick, rests for ticks 2 to 9 so that a short press
// turns the shape by exactly one step, and steps on every tick from the tenth on.
constexpr double kFirstStepTick = 1;
constexpr double kRepeatFromTick = 10;

}  // namespace

ShapeEditor::ShapeEditor(SharedState& state, Window& window, Plot& plot, Timer& timerHorari,
                         Timer& timerAntiHorari)
    : s_(state), w_(window), plot_(plot), horari_(timerHorari), antiHorari_(timerAntiHorari) {
  horari_.onTick = [this] { Timer_horari_Timer(); };
  antiHorari_.onTick = [this] { Timer_antiHorari_Timer(); };
}

void ShapeEditor::mirallHoritzontal_Click() {
  w_.setPasswordMode(Control::Text1, false);
  s_.signe_x = s_.signe_x.toNumber() * -1;
  redraw();
}

void ShapeEditor::Horari_MouseDown() { mouseDown(horari_, Direction::Clockwise); }

void ShapeEditor::Horari_MouseUp() {
  horari_.stop();
  s_.temporitzacio_mousedown = 0;
}

void ShapeEditor::antiHorari_MouseDown() { mouseDown(antiHorari_, Direction::CounterClockwise); }

void ShapeEditor::antiHorari_MouseUp() {
  antiHorari_.stop();
  s_.temporitzacio_mousedown = 0;
}

void ShapeEditor::mouseDown(Timer& timer, Direction direction) {
  // The press itself only starts the timer; each tick comes back here.
  if (timer.isActive()) {
    s_.temporitzacio_mousedown = s_.temporitzacio_mousedown.toNumber() + 1;
  } else {
    timer.start();
  }
  const double held = s_.temporitzacio_mousedown.toNumber();
  if (held == kFirstStepTick) step(direction);
  if (held >= kRepeatFromTick) step(direction);
}

void ShapeEditor::step(Direction direction) {
  w_.setPasswordMode(Control::Text1, false);
  w_.setForeColor(Control::Text1, kBlack);
  // A mirrored shape runs the other way round: the turn is reversed so that the picture still
  // turns the way the button shows.
  const bool clockwise = direction == Direction::Clockwise;
  const bool subtract = (s_.signe_x == 1) == clockwise;
  s_.gir_acumulat = subtract ? s_.gir_acumulat - kTurnStep : s_.gir_acumulat + kTurnStep;
  redraw();
}

void ShapeEditor::redraw() {
  clearAndDrawAxes(plot_);
  const double signX = s_.signe_x.toNumber();
  const double signY = s_.signe_y.toNumber();
  for (int i = 1; i <= preparation::kPoints; ++i) {
    const double a = s_.forma_treball.angle(i) + s_.gir_acumulat;
    const double r = s_.forma_treball.radius(i);
    s_.yPur = std::sin(a) * r * signY;
    s_.xPur = std::cos(a) * r * signX;
    plotShapePoint(plot_, s_.xPur, s_.yPur);
  }
  plot_.refresh();
  if (onRedraw) onRedraw();
}

}  // namespace kovrel
