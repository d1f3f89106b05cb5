// How long the operator waits after the tracer's last byte before the read is over ("fin lectura
// > modificar o enviar" in the information box). The whole program runs offscreen with its real
// serial port on a pseudo-terminal that plays the tracer; the read's first 8260 bytes go out and
// are taken, then the clock runs from the last trailer word to the message.

#include <benchmark/benchmark.h>
#include <pty.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/kovrel_app.h"
#include "base/texts.h"
#include "common/tracer_stream.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "scanner/serial_port_qt.h"
#include "settings/default_settings.h"
#include "settings/settings_file.h"

namespace {

namespace fs = std::filesystem;
using kovrel::Control;

bool runUntil(const std::function<bool()>& done) {
  QDeadlineTimer deadline(5000);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void BM_LastByteToReadFinished(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "kovrel-bench-latency";
  fs::create_directories(folder);
  std::ofstream(folder / kovrel::kSettingsFileName, std::ios::binary)
      << kovrel::SettingsFile::defaultFileContent(folder);

  int master = -1, slave = -1;
  char name[64] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  ::close(slave);
  const fs::path device = name;

  kovrel::KovrelApp::Options o;
  o.programFolder = folder;
  o.tracerPort = std::make_unique<kovrel::QtSerialPort>([device](int) { return std::optional(device); });
  o.hostPort = std::make_unique<kovrel::testing::FakeVirtualPort>();
  o.quit = [] {};
  kovrel::KovrelApp app(std::move(o));
  app.start();
  app.window().show();

  const std::vector<std::uint8_t> read =
      kovrel::toolkit::buildStream(kovrel::toolkit::circle(25), kovrel::toolkit::TracerCalibration{}, 1, 2);
  auto button = [&](Control c) { return static_cast<QAbstractButton*>(app.window().control(c)); };
  auto send = [&](const std::uint8_t* bytes, std::size_t n) {
    while (n > 0) {
      const ssize_t written = ::write(master, bytes, n);
      if (written <= 0) return false;
      bytes += written;
      n -= static_cast<std::size_t>(written);
      QCoreApplication::processEvents();  // the program takes what it can, as at line rate
    }
    return true;
  };

  for (auto _ : state) {
    if (!button(Control::llegirBtn)->isEnabled()) button(Control::parada)->click();
    button(Control::llegirBtn)->click();
    if (!send(read.data(), read.size() - 2) || !runUntil([&] {
          return app.state().contadorDadesRebudes == 4098 && app.tracerPort().bytesWaiting() == 0;
        })) {
      state.SkipWithError("the read did not reach its last word");
      break;
    }
    const auto start = std::chrono::steady_clock::now();
    send(read.data() + read.size() - 2, 2);
    if (!runUntil([&] { return app.window().text(Control::Text1) == kovrel::texts::kReadFinished; })) {
      state.SkipWithError("the read did not finish");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  ::close(master);
  fs::remove_all(folder);
}
BENCHMARK(BM_LastByteToReadFinished)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qtApp(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
