// The console's end requests are watched by one object at a time, and a program that made and
// dropped a watch (a restart of the event loop) can watch again. The event's path to the event
// loop needs a real console: Wine's GenerateConsoleCtrlEvent fails without one, so that part is
// for a Windows PC.

#include <gtest/gtest.h>

#include <stdexcept>

#include "qt_event_loop.h"
#include "shell/termination.h"

namespace kovrel {
namespace {

TEST(TerminationWindows, OneWatchAtATimeAndANewOneOnceTheOldIsGone) {
  {
    TerminationSignals watch([](int) {});
    EXPECT_THROW(TerminationSignals([](int) {}), std::logic_error);
  }
  EXPECT_NO_THROW(TerminationSignals([](int) {}));
  auto quit = quitOnTermination();
  EXPECT_THROW(TerminationSignals([](int) {}), std::logic_error);
}

}  // namespace
}  // namespace kovrel
