// How long the operator waits for the main window, and how long one redraw of a read shape
// takes (the turn buttons redraw every 20 ms while held). Offscreen, with the ports played by
// fakes and the settings file in a scratch folder.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "app/kovrel_app.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "scanner/plot.h"
#include "scanner/plot_widget.h"
#include "settings/settings_file.h"

namespace {

namespace fs = std::filesystem;

fs::path scratchFolder() {
  const fs::path folder = fs::temp_directory_path() / "kovrel-bench-startup";
  fs::create_directories(folder);
  std::ofstream(folder / kovrel::kSettingsFileName, std::ios::binary)
      << kovrel::SettingsFile::defaultFileContent(folder);
  return folder;
}

kovrel::KovrelApp::Options fakeOptions(const fs::path& folder) {
  kovrel::KovrelApp::Options o;
  o.programFolder = folder;
  o.tracerPort = std::make_unique<kovrel::testing::FakeSerialPort>();
  o.hostPort = std::make_unique<kovrel::testing::FakeVirtualPort>();
  o.clock = std::make_unique<kovrel::testing::FakeClock>();
  o.makeTimer = [](kovrel::AppTimer) { return std::make_unique<kovrel::testing::FakeTimer>(); };
  o.quit = [] {};
  return o;
}

// Construction of the whole program, start-up (settings read, host port opened, empty plot)
// and the first paint of the window.
void BM_StartupToFirstPaint(benchmark::State& state) {
  const fs::path folder = scratchFolder();
  for (auto _ : state) {
    kovrel::KovrelApp app(fakeOptions(folder));
    app.start();
    QPixmap first = app.window().grab();
    benchmark::DoNotOptimize(first);
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_StartupToFirstPaint)->Unit(benchmark::kMillisecond);

// Clear, axes and the 4095 points of a read shape, then the paint of the plot.
void BM_PlotRedrawOfAReadShape(benchmark::State& state) {
  kovrel::PlotWidget plot;
  plot.show();
  for (auto _ : state) {
    kovrel::clearAndDrawAxes(plot);
    for (int i = 1; i <= 4095; ++i) {
      const double a = i * 6.28318530718 / 4095;
      const double r = 24.0 + 2.0 * std::cos(2 * a);
      kovrel::plotShapePoint(plot, 1.2 * r * std::cos(a), 0.8 * r * std::sin(a));
    }
    plot.repaintNow();
  }
}
BENCHMARK(BM_PlotRedrawOfAReadShape)->Unit(benchmark::kMillisecond);

// One sample during a read: one point, then the paint of its pixel.
void BM_PlotOneSample(benchmark::State& state) {
  kovrel::PlotWidget plot;
  plot.show();
  kovrel::clearAndDrawAxes(plot);
  plot.repaintNow();
  int i = 0;
  for (auto _ : state) {
    const double a = (i++ % 4095) * 6.28318530718 / 4095;
    kovrel::plotShapePoint(plot, 25 * std::cos(a), 25 * std::sin(a));
    plot.repaintNow();
  }
}
BENCHMARK(BM_PlotOneSample)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
