#include "geometry/shape_editor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/tracer_stream.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "outline_traces.h"

namespace kovrel {
namespace {

class ShapeEditorTest : public ::testing::Test {
 protected:
  ShapeEditorTest() { state.forma_treball = testing::traceOf(toolkit::ellipse(28, 20)); }

  // Presses a button, lets its timer tick `ticks` times and releases it; returns the steps made.
  int hold(bool clockwise, int ticks) {
    const int before = plot.clears;
    clockwise ? editor.Horari_MouseDown() : editor.antiHorari_MouseDown();
    for (int i = 0; i < ticks; ++i) (clockwise ? horari : antiHorari).tick();
    clockwise ? editor.Horari_MouseUp() : editor.antiHorari_MouseUp();
    return plot.clears - before;
  }

  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeTimer horari, antiHorari;
  ShapeEditor editor{state, window, plot, horari, antiHorari};
};

TEST_F(ShapeEditorTest, heldButtonStepsOnTheFirstTickThenFromTheTenthOn) {
  window.setPasswordMode(Control::Text1, true);
  window.setForeColor(Control::Text1, kRed);
  EXPECT_EQ(hold(false, 0), 0);  // released before the first tick
  EXPECT_TRUE(state.gir_acumulat == 0.0 && window.passwordMode(Control::Text1));
  EXPECT_EQ(hold(false, 1), 1);
  EXPECT_TRUE(!window.passwordMode(Control::Text1) && window.foreColor(Control::Text1) == kBlack);
  EXPECT_TRUE(hold(false, 9) == 1 && hold(false, 10) == 2);
  EXPECT_EQ(hold(false, 50), 42);  // one second at 20 ms: 7 degrees at most
  EXPECT_NEAR(state.gir_acumulat, (1 + 1 + 2 + 42) * kTurnStep, 1e-12);
  EXPECT_TRUE(!antiHorari.isActive() && state.temporitzacio_mousedown == 0);
}

TEST_F(ShapeEditorTest, mirrorRedrawsEveryPointUnroundedAndTwoClicksRestoreThePicture) {
  state.gir_acumulat = 0.3;
  editor.redraw();
  const auto original = plot.dots;
  window.setPasswordMode(Control::Text1, true);
  editor.mirallHoritzontal_Click();
  EXPECT_FALSE(window.passwordMode(Control::Text1));
  ASSERT_EQ(plot.dots.size(), 4095u);
  EXPECT_TRUE(!plot.lines.empty() && plot.refreshes == 2);  // axes after the clear, a refresh per redraw
  const double a = state.forma_treball.angle(7) + 0.3, r = state.forma_treball.radius(7);
  EXPECT_TRUE(plot.dots[6].x == 40 - std::cos(a) * r && plot.dots[6].y == 40 - std::sin(a) * r);
  EXPECT_EQ(plot.dots[6].width, 1);
  editor.mirallHoritzontal_Click();
  EXPECT_EQ(state.signe_x, 1);
  for (std::size_t i = 0; i < original.size(); ++i)
    ASSERT_TRUE(plot.dots[i].x == original[i].x && plot.dots[i].y == original[i].y) << i;
}

}  // namespace
}  // namespace kovrel
