#pragma once
// The send button: prepares the read shape (once per read) and delivers it to the host over
// the link the technician chose (the virtual port, TCP, a folder) with the OMA trace exchange. The exchange
// is a state machine driven by the port's byte notifications and a polling timer, so the window keeps
// painting while it waits (at most 5 s for the acknowledgement, then 9 s for the host's message); no other
// operator action is handled meanwhile (`busy()`).

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "geometry/prepare.h"
#include "host/host_link.h"
#include "scanner/plot.h"

namespace kovrel {

class SendCommand {
 public:
  struct Hooks {
    // Lens-type prompt: start the opening animation of Picture3 and show it.
    std::function<void()> showLensTypePanel;
    // The preparation of the read shape; prepareShape when left empty.
    std::function<PreparedShape(const TraceTable&, const PrepareInputs&)> prepare;
    // A send ended, with what the information box says of it (the archive notes it).
    std::function<void(const std::string&)> ended;
  };

  enum class Phase { Idle, WaitingAck, ReadingMessage };

  // The host may hold a message of at most this many records.
  static constexpr int kMaxHostRecords = 50;
  // Seconds the host has to acknowledge the request, then to end its message.
  static constexpr int kAckWaitSeconds = 5;
  static constexpr int kMessageWaitSeconds = 9;

  // `pollTimer` runs while the exchange waits for the host (a short interval, 50 ms). The
  // command takes over the timer's onTick and the link's onBytesArrived: both call poll().
  SendCommand(SharedState& state, Window& window, Plot& plot, HostLink& link, Clock& clock, Timer& pollTimer,
              Hooks hooks);
  // Lets go of the link's and the timer's notifications: a link outlives the send it served.
  ~SendCommand();
  SendCommand(const SendCommand&) = delete;
  SendCommand& operator=(const SendCommand&) = delete;

  void interpola_Click();
  // The lens-type panel was closed with its "x": the buttons the prompt locked are as before.
  void lensTypePromptClosed();
  // Bytes arrived or the poll timer ticked: moves the exchange on.
  void poll();
  bool busy() const { return phase_ != Phase::Idle; }
  Phase phase() const { return phase_; }

  // The host's records of the last exchange (at most 50).
  const std::vector<std::string>& hostRecords() const { return records_; }

  // "horitzontal :<h> Vertical :<v>  <offset>", sizes in hundredths of mm, locale separator.
  static std::string sizesLine(double mida_h, double mida_v, double offset_radi, char decimalSeparator);

 private:
  // Opens this side of the link and asks whether a host is there; false (the operator told)
  // when the link itself is not there.
  bool openAndAskForHost(bool& hostWaiting);
  bool prepareIfNeeded();
  void handleByte(std::uint8_t b);
  void checkTimeOut();
  void writeAnswer();
  void finish();
  void endNoHost(bool afterPreparing);
  void endTimeOut(bool lockReadAndSend);
  void endPortMissing(const HostLinkError* why = nullptr);
  void endPortUnavailable(const HostLinkError& why);
  int secondsWaited() const;
  void tellEnded();

  SharedState& s_;
  Window& w_;
  Plot& plot_;
  HostLink& link_;
  Clock& clock_;
  Timer& pollTimer_;
  Hooks hooks_;
  Phase phase_ = Phase::Idle;
  std::vector<std::string> records_;
  std::size_t record_ = 0;                                // index of the host record being filled
  std::vector<std::pair<Control, bool>> beforePrompt_;    // enabled states the prompt changed
  std::vector<std::pair<Control, bool>> beforeExchange_;  // enabled states while the exchange runs
  std::vector<std::uint8_t> answer_;                      // the trace records, built before the request
};

}  // namespace kovrel
