// Windows: the console's control events (Ctrl+C or Ctrl+Break in the console that started the
// program, the console closed, logoff, shutdown) reach the event loop as a queued call. The
// system calls the handler on a thread of its own, so it only posts.

#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <stdexcept>

#include "shell/termination.h"

namespace kovrel {

namespace {

struct Watcher {
  std::function<void(int)> onSignal;
  QObject receiver;  // lives on the event loop's thread: the queued call runs there
};

std::atomic<Watcher*> gWatcher{nullptr};
std::atomic<bool> gPending{false};

BOOL WINAPI onControlEvent(DWORD event) {
  Watcher* impl = gWatcher.load();
  // Asked twice and the first request was never taken up: the system's default ends the
  // program, the way out of a program stuck in a loop.
  if (impl == nullptr || gPending.exchange(true)) return FALSE;
  QMetaObject::invokeMethod(
      &impl->receiver,
      [impl, event] {
        gPending = false;
        if (impl->onSignal) impl->onSignal(static_cast<int>(event));
      },
      Qt::QueuedConnection);
  return TRUE;
}

}  // namespace

struct TerminationSignals::Impl {
  Watcher watcher;
};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : impl_(std::make_unique<Impl>()) {
  impl_->watcher.onSignal = std::move(onSignal);
  Watcher* expected = nullptr;
  if (!gWatcher.compare_exchange_strong(expected, &impl_->watcher))
    throw std::logic_error("termination signals are already watched");
  gPending = false;
  ::SetConsoleCtrlHandler(onControlEvent, TRUE);
}

TerminationSignals::~TerminationSignals() {
  ::SetConsoleCtrlHandler(onControlEvent, FALSE);
  gWatcher = nullptr;
  gPending = false;
}

std::unique_ptr<TerminationSignals> quitOnTermination() {
  return std::make_unique<TerminationSignals>([](int) { QCoreApplication::quit(); });
}

}  // namespace kovrel
