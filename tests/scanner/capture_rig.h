#pragma once
// A capture wired to in-memory window, plot and tracer port, with the installed arm as the
// settings, ready for a read as the read button would start it.

#include <cstdint>
#include <string>
#include <vector>

#include "base/shared_state.h"
#include "fake_plot.h"
#include "fake_serial_port.h"
#include "fake_window.h"
#include "scanner/capture.h"
#include "settings/default_settings.h"

namespace kovrel::testing {

template <typename Port = FakeSerialPort>
struct BasicCaptureRig {
  SharedState state;
  FakeWindow window;
  FakePlot plot;
  Port port;
  int saves = 0, centreValues = 0;
  Capture capture{state, window, plot, port,
                  Capture::Hooks{[this] { ++saves; }, [this] { ++centreValues; }, {}}};

  BasicCaptureRig() {
    using D = DefaultCalibration;
    state.comport1 = "3";
    state.midaradi = D::midaradi, state.obertura_brac = D::obertura_brac,
    state.radi_central = D::radi_central;
    state.polsoseix = D::polsoseix, state.carrera = D::carrera, state.grausperpols = D::grausperpols;
    window.setChecked(Control::CompSiNoChk, true);  // ticked when the program starts
    port.onReceive = [this] { capture.onReceive(); };
  }

  void start() { capture.captura_dibuixa(); }  // the read button's call of the first step
  // Everything at once, one notification (a serial layer that gathers a whole read).
  void burst(const std::vector<std::uint8_t>& bytes) { port.feed(bytes); }
  // One byte per arrival, a notification whenever two or more wait.
  void paced(const std::vector<std::uint8_t>& bytes) {
    for (std::uint8_t b : bytes) port.feed(std::string(1, static_cast<char>(b)));
  }
};

using CaptureRig = BasicCaptureRig<>;

}  // namespace kovrel::testing
