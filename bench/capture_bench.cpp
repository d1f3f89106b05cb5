// A whole read delivered in one burst (a serial layer that gathers all 8262 bytes under one
// notification), decoded and plotted. Target: 20 ms or less per read.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "base/shared_state.h"
#include "common/tracer_stream.h"
#include "fake_serial_port.h"
#include "fake_window.h"
#include "scanner/capture.h"

namespace {

using namespace kovrel;

// Counts what is drawn, as cheaply as a retained image takes a dot.
class CountingPlot : public Plot {
 public:
  void clear() override { ++clears; }
  void line(double, double, double, double) override { ++lines; }
  void point(double x, double y, int) override {
    ++points;
    sink += x + y;
  }
  void refresh() override { ++refreshes; }
  long clears = 0, lines = 0, points = 0, refreshes = 0;
  double sink = 0;
};

void burstReadDecodedAndPlotted(benchmark::State& bench) {
  toolkit::TracerCalibration cal;
  const auto stream = toolkit::buildStream(toolkit::offCentre(toolkit::ellipse(28, 19), 2, -1), cal, 12, 345);
  for (auto _ : bench) {
    bench.PauseTiming();
    auto state = std::make_unique<SharedState>();
    state->comport1 = "3";
    state->midaradi = cal.midaradi;
    state->radi_central = cal.radi_central;
    testing::FakeWindow window;
    window.setChecked(Control::CompSiNoChk, true);
    CountingPlot plot;
    testing::FakeSerialPort port;
    Capture capture(*state, window, plot, port, {});
    port.onReceive = [&capture] { capture.onReceive(); };
    bench.ResumeTiming();

    capture.captura_dibuixa();
    port.feed(stream);

    if (plot.points != kSamplesPerRead || state->esticCapturant != 0)
      bench.SkipWithError("read did not finish");
    benchmark::DoNotOptimize(state->forma_treball.radius(2048));
  }
  bench.SetBytesProcessed(static_cast<std::int64_t>(bench.iterations()) *
                          static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(burstReadDecodedAndPlotted)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
