// From the host's GS to the last byte of the answer on the port: the host's reader waits for
// the trace right after its own message, so this stretch must stay well under 5 ms.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "host/oma_framing.h"
#include "host/send_command.h"
#include "links/serial_link.h"

namespace kovrel {
namespace {

// A prepared trace whose codes need escaping about one time in four.
TraceTable codedTrace() {
  TraceTable t;
  t.radius(1) = 2750;
  const int codes[] = {0, 1, 6, 255, 28, 2, 30, 254, 64, 3};
  for (int n = 2; n <= 800; ++n) t.radius(n) = codes[n % 10];
  return t;
}

void BM_HostGsToAnswerWritten(benchmark::State& st) {
  SharedState s;
  testing::FakeWindow w;
  testing::FakePlot plot;
  testing::FakeVirtualPort port;
  SerialLink link{port, s};
  testing::FakeClock clock;
  testing::FakeTimer pollTimer;
  SendCommand cmd{s, w, plot, link, clock, pollTimer, {}};
  port.exists = port.hostHolds = true;
  s.tipoMontura = 1;
  s.ja_Enviat = 1;  // re-sends the stored trace: no preparation in the loop
  s.comport2 = 5;
  s.contador_treballs = 345;
  s.forma_auxiliar = codedTrace();
  w.setText(Control::contadorLectures, "Rev.[345]");

  const std::vector<std::uint8_t> message = {oma::ACK, oma::FS, 'R', 'E',     'Q',     '=',
                                             'T',      'R',     'C', oma::CR, oma::LF, oma::RS};
  const std::vector<std::uint8_t> gs = {oma::GS};
  for (auto _ : st) {
    st.PauseTiming();
    port.written.clear();
    cmd.interpola_Click();
    port.hostSends(message);
    st.ResumeTiming();
    port.hostSends(gs);
    benchmark::DoNotOptimize(port.written.data());
    if (cmd.busy()) st.SkipWithError("the answer was not written");
  }
}
BENCHMARK(BM_HostGsToAnswerWritten)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kovrel

BENCHMARK_MAIN();
