#pragma once
// The send button: prepares the read shape (once per read) and delivers it to the host over
// the virtual port with the OMA trace exchange. The exchange is a state machine driven by the
// port's byte notifications and a polling timer, so the window keeps painting while it waits
// (at most 5 s for the acknowledgement, then 9 s for the host's message); no other operator
// action is handled meanwhile (`busy()`).

#include <functional>
#include <string>
#include <vector>

#include "app/clock.h"
#include "app/shared_state.h"
#include "app/timer.h"
#include "app/window.h"
#include "host/virtual_port.h"
#include "scanner/plot.h"

namespace kovrel {

class SendCommand {
 public:
  struct Hooks {
    // Lens-type prompt: start the opening animation of Picture3 and show it.
    std::function<void()> showLensTypePanel;
  };

  enum class Phase { Idle, WaitingAck, ReadingMessage };

  // `pollTimer` runs while the exchange waits for the host (a short interval, 50 ms).
  SendCommand(SharedState& state, Window& window, Plot& plot, VirtualPort& port, Clock& clock,
              Timer& pollTimer, Hooks hooks);

  void interpola_Click();
  // Bytes arrived or the poll timer ticked: moves the exchange on.
  void poll();
  bool busy() const { return phase_ != Phase::Idle; }
  Phase phase() const { return phase_; }

  // The host's records of the last exchange (at most 50).
  const std::vector<std::string>& hostRecords() const { return records_; }

 private:
  SharedState& s_;
  Window& w_;
  Plot& plot_;
  VirtualPort& port_;
  Clock& clock_;
  Timer& pollTimer_;
  Hooks hooks_;
  Phase phase_ = Phase::Idle;
  std::vector<std::string> records_;
};

}  // namespace kovrel
