#pragma once
// The read of a shape: the tracer streams a 64-byte header, a 16-bit temperature, 4096 16-bit
// arm counts and two 16-bit job-counter words. Capture decodes that stream one unit per step
// (one header byte, the temperature, one sample, one trailer word), keeping its progress in the
// shared state between steps, plots every sample as it arrives and, at the end, hands the shape
// to the rest of the program in forma_treball.

#include <functional>

#include "app/shared_state.h"
#include "app/window.h"
#include "scanner/plot.h"
#include "scanner/serial_port.h"

namespace kovrel {

class Capture {
 public:
  struct Hooks {
    std::function<void()> saveSettings;       // guarda_dades, after a header is taken
    std::function<void()> nous_valors_centre;  // end of a centre calibration
  };

  Capture(SharedState& state, Window& window, Plot& plot, SerialPort& port, Hooks hooks);

  // One capture step (the first call of a read opens the port and arms the read).
  void captura_dibuixa();
  // Receive notification of the tracer port: handles every complete unit waiting, in order,
  // exactly as if each had raised its own event. Does nothing unless a read is under way.
  void onReceive();
  // Stop button: ends the read, shows the abort text, brings the read and exit buttons back.
  void parada_Click();

 private:
  SharedState& s_;
  Window& w_;
  Plot& plot_;
  SerialPort& port_;
  Hooks hooks_;
};

}  // namespace kovrel
