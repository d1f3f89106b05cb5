// Windows: the console's control events (Ctrl+C or Ctrl+Break in the console that started the
// program, the console closed) reach the event loop as a queued call; the system calls the
// handler on a thread of its own, so it only posts. A windowed program gets no console event at
// logoff, restart or shutdown: the end of the session comes as WM_ENDSESSION to its windows, and
// the process may be ended as soon as the first of them answers (Qt's own answer quits). So the
// end is taken up synchronously, by a native event filter that sees the message before Qt does.

#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QMetaObject>
#include <atomic>
#include <stdexcept>

#include "shell/termination.h"

namespace kovrel {

namespace {

struct Watcher : QAbstractNativeEventFilter {
  // Once per session end: every top-level window gets its own WM_ENDSESSION.
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
    const auto* msg = static_cast<const MSG*>(message);
    if (ended || eventType != "windows_generic_MSG" || msg->message != WM_ENDSESSION || msg->wParam == FALSE)
      return false;
    ended = true;
    if (onSignal) onSignal((msg->lParam & ENDSESSION_LOGOFF) != 0 ? CTRL_LOGOFF_EVENT : CTRL_SHUTDOWN_EVENT);
    return false;  // Qt's own handling goes on
  }

  std::function<void(int)> onSignal;
  bool ended = false;
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
  if (auto* app = QCoreApplication::instance()) app->installNativeEventFilter(&impl_->watcher);
}

TerminationSignals::~TerminationSignals() {
  if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(&impl_->watcher);
  ::SetConsoleCtrlHandler(onControlEvent, FALSE);
  gWatcher = nullptr;
  gPending = false;
}

std::unique_ptr<TerminationSignals> quitOnTermination() {
  return std::make_unique<TerminationSignals>([](int) { QCoreApplication::quit(); });
}

}  // namespace kovrel
