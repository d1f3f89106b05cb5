#pragma once
// The encoder monitor: a second port object listens on the tracer's port while the technician
// moves the arm or lets it rest, and shows how far the 16-bit radius readings spread within each
// 10-second period. A steady arm that shows a spread of more than a count or two has a worn
// encoder or a noisy line.

#include <functional>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "scanner/serial_port.h"

namespace kovrel {

inline constexpr int kEncoderPeriodMs = 10'000;

class EncoderMonitor {
 public:
  struct Hooks {
    std::function<void()> beep;  // the system beep at the end of each period
  };

  // `port` is the monitor's own port object (MSComm2); `timer` is TimerEncoder, whose onTick the
  // monitor sets.
  EncoderMonitor(SharedState& state, Window& window, SerialPort& port, Timer& timer, Hooks hooks);

  void CentEncBtn_Click();
  // Receive notification of the monitor's port: every complete reading waiting, in order.
  void onReceive();
  void TimerEncoder_Timer();

  bool isOn() const { return w_.isChecked(Control::PortEncEstatOpc); }
  // A read is about to take the tracer's port: the monitor lets go of it first.
  void yieldToRead();

 private:
  void switchOff();
  bool switchOn();
  void take(int reading);

  SharedState& s_;
  Window& w_;
  SerialPort& port_;
  Timer& timer_;
  Hooks hooks_;
  int shown_ = 0;  // spread shown in CalibracioEncoderTxt, counts
  bool filled_ = false;
};

}  // namespace kovrel
