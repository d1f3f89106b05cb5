// Arbitrary host bytes in arbitrary pieces between clock steps and poll ticks: the exchange never
// crashes, always ends within its waits, and says "sent" only after writing the whole answer.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "base/texts.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "host/send_command.h"
#include "links/serial_link.h"

using namespace kovrel;
using namespace kovrel::testing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SharedState s;
  FakeWindow w;
  FakePlot plot;
  FakeVirtualPort port;
  SerialLink link(port, s);
  FakeClock clock;
  FakeTimer poll;
  port.exists = port.hostHolds = true;
  s.tipoMontura = 1, s.comport2 = "5", s.contador_treballs = 7;
  w.setText(Control::offset_mida, "0");
  SendCommand cmd(s, w, plot, link, clock, poll,
                  {{},
                   [](const TraceTable&, const PrepareInputs&) {
                     PreparedShape shape;
                     shape.forma_auxiliar.radius(1) = 2500;
                     return shape;
                   },
                   {}});
  cmd.interpola_Click();
  // Each piece: a control byte (low 3 bits: seconds to wait, bit 3: a poll tick, high 4 bits:
  // how many host bytes follow), then those bytes.
  for (std::size_t at = 0; at < size && cmd.busy();) {
    const std::uint8_t control = data[at++];
    const std::size_t n = std::min<std::size_t>(control >> 4, size - at);
    port.hostSends(std::vector<std::uint8_t>(data + at, data + at + n));
    at += n;
    clock.advance(control & 7);
    if (control & 8) poll.tick();
  }
  // The clock keeps seconds only: three steps of 6 s carry any wait past its limit.
  for (int i = 0; i < 3; ++i) clock.advance(6), poll.tick();
  if (cmd.busy()) throw std::logic_error("the exchange outlived its waits");
  if (w.text(Control::Text1) == texts::kSentOk && (port.written.size() < 800 || port.written.back() != 6))
    throw std::logic_error("sent without the whole answer");
  return 0;
}
