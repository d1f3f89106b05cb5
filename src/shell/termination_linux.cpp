// Signals reach the event loop through a self-pipe: the handler only writes the signal's number
// (async-signal-safe), a socket notifier reads it on the event loop's thread.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <stdexcept>

#include "shell/termination.h"

namespace kovrel {

namespace {

int gWriteEnd = -1;
volatile sig_atomic_t gPending = 0;

extern "C" void onTerminationSignal(int signal) {
  if (gPending) {
    // Asked twice and the first request was never taken up: end now.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  gPending = 1;
  const int savedErrno = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  [[maybe_unused]] auto written = ::write(gWriteEnd, &number, 1);
  errno = savedErrno;
}

}  // namespace

struct TerminationSignals::Impl {
  std::function<void(int)> onSignal;
  int pipe[2] = {-1, -1};
  struct Watched {
    int signal;
    struct sigaction previous;  // given back when the watch ends
  };
  Watched watched[2] = {{SIGTERM, {}}, {SIGINT, {}}};
  std::unique_ptr<QSocketNotifier> notifier;
};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : impl_(std::make_unique<Impl>()) {
  if (gWriteEnd >= 0) throw std::logic_error("termination signals are already watched");
  impl_->onSignal = std::move(onSignal);
  if (::pipe2(impl_->pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error("cannot watch termination signals");
  gWriteEnd = impl_->pipe[1];
  gPending = 0;

  impl_->notifier = std::make_unique<QSocketNotifier>(impl_->pipe[0], QSocketNotifier::Read);
  QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, [impl = impl_.get()] {
    unsigned char numbers[16];
    const ssize_t n = ::read(impl->pipe[0], numbers, sizeof numbers);
    gPending = 0;
    for (ssize_t i = 0; i < n; ++i)
      if (impl->onSignal) impl->onSignal(numbers[i]);
  });

  struct sigaction action = {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (auto& w : impl_->watched) sigaction(w.signal, &action, &w.previous);
}

TerminationSignals::~TerminationSignals() {
  for (const auto& w : impl_->watched) sigaction(w.signal, &w.previous, nullptr);
  impl_->notifier.reset();
  gWriteEnd = -1;
  gPending = 0;
  ::close(impl_->pipe[0]);
  ::close(impl_->pipe[1]);
}

std::unique_ptr<TerminationSignals> quitOnTermination() {
  return std::make_unique<TerminationSignals>([](int) { QCoreApplication::quit(); });
}

}  // namespace kovrel
