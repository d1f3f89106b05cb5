#pragma once
// The send to the host on in-memory parts, for the host's and the links' tests: wire bytes from
// text, the prepared shape the sends carry, and the send button over a link (window, plot, clock
// and poll timer in memory; the job "Rev.[345]").

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "host/send_command.h"

namespace kovrel::testing {

inline std::vector<std::uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }
inline std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The prepared trace the tests send: 25.00 mm, then codes 30 31 6 64 28 255 0 0 ... (escaped on
// the wire), its sizes and two plot points.
inline PreparedShape cannedShape() {
  PreparedShape shape;
  const int rows[] = {2500, 30, 31, 6, 64, 28, 255};
  for (int n = 1; n <= 7; ++n) shape.forma_auxiliar.radius(n) = rows[n - 1];
  shape.mida_h = 4512.5, shape.mida_v = 3800, shape.offset_radi = 10;
  shape.plotPoints = {{40.5, 39.5}, {41.0, 40.0}};
  return shape;
}

struct SendRig {
  explicit SendRig(HostLink& link) {
    s.tipoMontura = 1, s.comport2 = "5", s.contador_treballs = 345;
    w.setText(Control::contadorLectures, "Rev.[345]");
    w.setText(Control::offset_mida, "0");
    const auto prepare = [](const TraceTable&, const PrepareInputs&) { return cannedShape(); };
    cmd = std::make_unique<SendCommand>(s, w, plot, link, clock, poll, SendCommand::Hooks{{}, prepare, {}});
  }
  std::string text() const { return w.text(Control::Text1); }
  SharedState s;
  FakeWindow w;
  FakePlot plot;
  FakeClock clock;
  FakeTimer poll;
  std::unique_ptr<SendCommand> cmd;
};

}  // namespace kovrel::testing
