// SIGTERM and SIGINT reach the program as an ordinary event-loop call, so it ends through its
// destructors (which take the virtual port's name away) instead of dying where it stood. A second
// start's wake-up on the local socket: the running copy (this thread) and a second start (another
// thread, as it blocks while it waits for the answer).

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QThread>
#include <future>
#include <stdexcept>

#include "qt_event_loop.h"
#include "shell/termination.h"
#include "shell/wake_channel.h"

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

TEST(WakeChannel, theWakeWordBringsTheCopyBackAndNothingElseDoes) {
  const std::string name = "kovrel-test-wake-" + std::to_string(QCoreApplication::applicationPid());
  EXPECT_FALSE(wakeRunningCopy(name, 200)) << "nobody listening";
  int woken = 0;
  WakeChannel channel(name, [&] { ++woken; });
  ASSERT_TRUE(channel.listen());

  auto second = std::async(std::launch::async, [&] { return wakeRunningCopy(name, 2000); });
  ASSERT_TRUE(testing::processEventsUntil(
      [&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_TRUE(second.get());
  EXPECT_EQ(woken, 1);

  // A stranger's bytes and a silent peer: neither wakes, both are closed.
  QLocalSocket stranger, silent;
  stranger.connectToServer(QString::fromStdString(name));
  silent.connectToServer(QString::fromStdString(name));
  stranger.write("GET / HTTP/1.1\r\n");
  EXPECT_TRUE(testing::processEventsUntil([&] {
    return stranger.state() == QLocalSocket::UnconnectedState &&
           silent.state() == QLocalSocket::UnconnectedState;
  }));
  EXPECT_EQ(woken, 1);
}

}  // namespace
}  // namespace kovrel
