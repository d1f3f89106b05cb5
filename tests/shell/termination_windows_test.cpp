// The console's end requests are watched by one object at a time (their path to the event loop
// needs a real console, which Wine lacks: a Windows PC's part). The session's end comes through
// the event dispatcher's native filters, which Qt's window procedure calls before its own answer.

#include <gtest/gtest.h>
#include <windows.h>

#include <QAbstractEventDispatcher>
#include <stdexcept>
#include <vector>

#include "qt_event_loop.h"
#include "shell/termination.h"

namespace kovrel {
namespace {

// Logoff, restart and shutdown end the program at once, inside the message, once however many of
// its windows are told; a question or a cancelled end leaves it running.
TEST(TerminationWindows, OneWatchAtATimeAndTheSessionsEndTakenUpAtOnceAndOnce) {
  auto send = [](UINT message, WPARAM ends, LPARAM how) {
    MSG msg{nullptr, message, ends, how, 0, {}};
    qintptr result = 0;
    return QAbstractEventDispatcher::instance()->filterNativeEvent("windows_generic_MSG", &msg, &result);
  };
  std::vector<int> got;
  for (const LPARAM how : {LPARAM(ENDSESSION_LOGOFF), LPARAM(0)}) {  // a new watch once the old is gone
    TerminationSignals watch([&](int event) { got.push_back(event); });
    EXPECT_THROW(TerminationSignals([](int) {}), std::logic_error);
    send(WM_QUERYENDSESSION, 0, how ^ ENDSESSION_LOGOFF);  // taken up, they would give the other number
    send(WM_ENDSESSION, FALSE, how ^ ENDSESSION_LOGOFF);
    EXPECT_FALSE(send(WM_ENDSESSION, TRUE, how));  // Qt still answers it
    send(WM_ENDSESSION, TRUE, how);                // the next window's
  }
  send(WM_ENDSESSION, TRUE, 0);  // nobody watches
  EXPECT_EQ(got, (std::vector<int>{CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}));
  auto quit = quitOnTermination();
  EXPECT_THROW(TerminationSignals([](int) {}), std::logic_error);
}

}  // namespace
}  // namespace kovrel
