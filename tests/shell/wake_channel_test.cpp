// The second start's wake-up on the local socket: the running copy (this thread) and a second
// start (another thread, as it blocks while it waits for the answer).

#include "shell/wake_channel.h"

#include <gtest/gtest.h>

#include <QLocalSocket>
#include <future>

#include "qt_event_loop.h"

namespace kovrel {
namespace {

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
