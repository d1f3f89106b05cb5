#pragma once
// One run of the port set-up on screen: the ports window, the set-up behind it, the two serial
// ports of the START probe and the window's timers. The program makes a new one each time the
// ports window is asked for, so every run starts from the window's initial state.

#include <QPointer>
#include <functional>
#include <memory>

#include "ports/port_setup.h"

class QWidget;

namespace kovrel {

class PuertosWindow;

class PortsFlow {
 public:
  struct Parts {
    SharedState& state;
    Window& main;
    QWidget* mainWidget;  // the instructions window's owner
    VirtualPort& virtualPort;
    // A serial port of this system, for each of the START probe's two candidates.
    std::function<std::unique_ptr<SerialPort>()> makeSerialPort;
    // The system's serial ports, as the searches read them.
    SerialCommListing listing;
    // Window timers; QTimer-backed when empty.
    std::function<std::unique_ptr<Timer>(PortsTimer)> makeTimer;
    std::function<void()> saveSettings;
    // The TCP or folder link's label; empty while the serial link is in use (see PortSetup).
    std::function<std::string()> otherLinkLabel;
  };

  explicit PortsFlow(Parts parts);
  ~PortsFlow();
  PortsFlow(const PortsFlow&) = delete;
  PortsFlow& operator=(const PortsFlow&) = delete;

  // Shows the window and starts the set-up.
  void open();

  PuertosWindow& window() { return *window_; }
  PortSetup& setup() { return *setup_; }
  SerialPort& probe(int which) { return which == 1 ? *probe1_ : *probe2_; }
  Timer& timer(PortsTimer which) { return which == PortsTimer::Timer2 ? *timer2_ : *timer3_; }
  // Stands in for the modal instructions window when set (tests).
  std::function<void(int code)> showInstructions;

 private:
  void instructions(int code);

  Parts parts_;
  std::unique_ptr<PuertosWindow> window_;
  std::unique_ptr<SerialPort> probe1_;
  std::unique_ptr<SerialPort> probe2_;
  std::unique_ptr<Timer> timer2_;
  std::unique_ptr<Timer> timer3_;
  std::unique_ptr<PortSetup> setup_;
};

}  // namespace kovrel
