#pragma once
// The send button over a host link, on in-memory window, plot, clock and poll timer: the job
// "Rev.[345]" with a prepared shape whose codes need escaping.

#include <memory>
#include <string>

#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "host/send_command.h"

namespace kovrel::testing {

struct SendRig {
  explicit SendRig(HostLink& link) {
    s.tipoMontura = 1, s.comport2 = "5", s.contador_treballs = 345;
    w.setText(Control::contadorLectures, "Rev.[345]");
    w.setText(Control::offset_mida, "0");
    const auto prepare = [](const TraceTable&, const PrepareInputs&) {
      PreparedShape shape;
      const int rows[] = {2500, 30, 31, 6, 64, 28, 255};
      for (int n = 1; n <= 7; ++n) shape.forma_auxiliar.radius(n) = rows[n - 1];
      return shape;
    };
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
