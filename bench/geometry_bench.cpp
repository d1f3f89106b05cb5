// Preparing a shape runs inside the send, with the window frozen until the host is answered;
// turning a held button redraws on every 20 ms tick. Targets: prepareShape within 1 ms,
// a redraw of the 4095 points within 2 ms, and the sizes under the plot, measured again after
// every turn step on a prepared copy, within 1.5 ms.

#include <benchmark/benchmark.h>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "common/tracer_stream.h"
#include "fake_window.h"
#include "geometry/prepare.h"
#include "geometry/shape_editor.h"
#include "geometry/shape_sizes.h"

namespace kovrel {
namespace {

TraceTable readOf(const toolkit::Outline& outline) {
  TraceTable t;
  for (int n = 1; n <= 4095; ++n) {
    t.angle(n) = 6.28318530718 * (n - 1) / 4095;
    t.radius(n) = outline(t.angle(n));
  }
  return t;
}

// Only counts what is drawn, as a screen that costs nothing would.
class CountingPlot : public Plot {
 public:
  void clear() override { ++calls; }
  void line(double, double, double, double) override { ++calls; }
  void point(double x, double y, int) override { sum += x + y; }
  void refresh() override { ++calls; }
  long calls = 0;
  double sum = 0;
};

class IdleTimer : public Timer {
 public:
  void start() override {}
  void stop() override {}
  bool isActive() const override { return false; }
};

void BM_prepareShape(benchmark::State& state) {
  const TraceTable read = readOf(toolkit::superellipse(26, 18, 6));
  PrepareInputs inputs;
  inputs.serial_number = "0042";
  inputs.gir_acumulat = 0.2;
  for (auto _ : state) benchmark::DoNotOptimize(prepareShape(read, inputs));
}
BENCHMARK(BM_prepareShape)->Unit(benchmark::kMicrosecond);

void BM_redraw(benchmark::State& state) {
  SharedState shared;
  shared.forma_treball = readOf(toolkit::superellipse(26, 18, 6));
  testing::FakeWindow window;
  CountingPlot plot;
  IdleTimer clockwise, counterClockwise;
  ShapeEditor editor(shared, window, plot, clockwise, counterClockwise);
  for (auto _ : state) {
    editor.redraw();
    benchmark::DoNotOptimize(plot.sum);
  }
}
BENCHMARK(BM_redraw)->Unit(benchmark::kMicrosecond);

void BM_sizesAfterATurnStep(benchmark::State& state) {
  SharedState shared;
  shared.forma_treball = readOf(toolkit::superellipse(26, 18, 6));
  shared.serial_number = "0042", shared.filterscope = 3;
  testing::FakeWindow window;
  window.setText(Control::offset_mida, "0,00");
  ShapeSizesView sizes(shared, window);
  sizes.shapeReady();
  for (auto _ : state) {
    shared.gir_acumulat += kTurnStep;
    sizes.refresh();
  }
}
BENCHMARK(BM_sizesAfterATurnStep)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kovrel

BENCHMARK_MAIN();
