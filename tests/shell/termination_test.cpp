// SIGTERM and SIGINT reach the program as an ordinary event-loop call, so it ends through its
// destructors (which take the virtual port's name away) instead of dying where it stood.

#include "shell/termination.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QThread>
#include <stdexcept>

#include "qt_event_loop.h"

namespace kovrel {
namespace {

using testing::processEventsUntil;

TEST(TerminationSignals, signalIsHandledLaterOnTheEventLoopThreadAndPreviousHandlersComeBack) {
  struct sigaction before = {}, after = {};
  sigaction(SIGTERM, nullptr, &before);
  {
    std::vector<int> received;
    QThread* handlerThread = nullptr;
    TerminationSignals watch([&](int signal) {
      received.push_back(signal);
      handlerThread = QThread::currentThread();
    });
    EXPECT_THROW(TerminationSignals([](int) {}), std::logic_error);  // one watch at a time
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(received.empty());  // nothing runs inside the signal handler itself
    ASSERT_TRUE(processEventsUntil([&] { return !received.empty(); }));
    EXPECT_EQ(handlerThread, QCoreApplication::instance()->thread());
    ASSERT_EQ(raise(SIGINT), 0);
    ASSERT_TRUE(processEventsUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT}));
  }
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  EXPECT_NO_THROW(TerminationSignals([](int) {}));
}

}  // namespace
}  // namespace kovrel
