#pragma once
// Ending on the system's request: SIGTERM (logout, a service manager) and SIGINT (Ctrl+C in the
// terminal that started it) leave through the event loop like the exit button does, so every
// destructor runs and the virtual port's published name is removed rather than left behind.

#include <functional>
#include <memory>

namespace kovrel {

class TerminationSignals {
 public:
  // Calls `onSignal(signalNumber)` on the event loop's thread when SIGTERM or SIGINT arrives.
  // Windows: the console's events (their CTRL_* number) the same way, and the end of the session
  // (logoff as CTRL_LOGOFF_EVENT, restart and shutdown as CTRL_SHUTDOWN_EVENT) at once, inside
  // the system's message: the process may be ended as soon as it is answered.
  // One instance at a time (std::logic_error otherwise). A second signal that arrives before the
  // first was handled ends the program at once: the way out of a program stuck in a loop.
  explicit TerminationSignals(std::function<void(int signal)> onSignal);
  ~TerminationSignals();  // puts the previous handlers back
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Quits the application's event loop on SIGTERM or SIGINT.
std::unique_ptr<TerminationSignals> quitOnTermination();

}  // namespace kovrel
