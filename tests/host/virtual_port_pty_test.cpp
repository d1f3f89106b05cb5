// The host's virtual port on a real pseudo-terminal; the test plays a lab program opening the COM
// link, configuring the line, reading and writing raw bytes, faster than the event loop turns.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>

#include "host/virtual_port_pty_linux.h"
#include "qt_event_loop.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::processEventsUntil;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The lab program's side of the port.
class Host {
 public:
  explicit Host(const fs::path& link)
      : fd_(::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~Host() { ::close(fd_); }
  // Raw 8N1, as a host sets its port up; some hosts also clear the extended processing flags.
  void configure(bool keepExtendedProcessing = true, speed_t speed = B57600) {
    termios t{};
    ASSERT_EQ(tcgetattr(fd_, &t), 0);
    cfmakeraw(&t);
    if (!keepExtendedProcessing) t.c_lflag = 0;
    cfsetspeed(&t, speed);
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0);
  }
  void send(const Bytes& b) { ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
  // What arrives until `count` bytes are there; with 0, whatever is there now.
  Bytes receive(std::size_t count = 0) {
    Bytes got;
    std::uint8_t buffer[512];
    processEventsUntil([&] {
      for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
        got.insert(got.end(), buffer, buffer + n);
      return got.size() >= count;
    });
    return got;
  }

 private:
  int fd_;
};

class VirtualPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kovrel-vport-" + std::to_string(getpid()));
    fs::remove_all(root_);
    registry_ = std::make_unique<ComRegistry>(
        ComFolders{root_ / "sys", "/dev", "/proc", root_ / "state", root_ / "links"});
    port_ = std::make_unique<PtyVirtualPort>(*registry_);
    port_->canvi_senyal = [this] { signals_.push_back(port_->senyal_extern()); };
    port_->onBytesArrived = [this] { ++arrivals_; };
  }
  void TearDown() override { port_.reset(), fs::remove_all(root_); }
  fs::path link() const { return registry_->linkPath(5); }
  bool raisedLine() const { return std::find(signals_.begin(), signals_.end(), true) != signals_.end(); }

  fs::path root_;
  std::unique_ptr<ComRegistry> registry_;
  std::unique_ptr<PtyVirtualPort> port_;
  std::vector<bool> signals_;  // senyal_extern at each canvi_senyal
  int arrivals_ = 0;
};

TEST_F(VirtualPortOnPty, portIsCreatedPublishedAndRemovedWithItsName) {
  EXPECT_THROW(port_->crear_port("LPT1"), VirtualPortError);
  EXPECT_THROW(port_->obrir_port("COM0"), VirtualPortError);
  EXPECT_NO_THROW(port_->obrir_port("COM5"));  // start-up opens an absent name, then creates it
  EXPECT_FALSE(port_->port_existeix());
  port_->crear_port("COM5");
  EXPECT_TRUE(port_->port_existeix() && !port_->port_obert_host());
  EXPECT_EQ(fs::read_symlink(link()), fs::path(port_->devicePath()));
  EXPECT_EQ(registry_->publication(5).value_or(Publication{}).ownerPid, getpid());
  EXPECT_EQ(registry_->serialCommEntries(),
            (std::vector<SerialCommEntry>{{"\\Device\\KovrelPort0", "COM5"}}));
  port_->eliminar_port();
  EXPECT_FALSE(fs::is_symlink(link()) || fs::exists(registry_->ownerRecordPath(5)) ||
               port_->port_obert_host());
  port_->obrir_port("COM5");
  EXPECT_FALSE(port_->port_existeix());
  EXPECT_NO_THROW(port_->eliminar_port());  // nothing left to remove

  // A name another program holds, or a link that cannot be made: refused, and no pty left behind.
  registry_->publish(7, "/dev/null", getppid(), PortKind::Virtual);
  EXPECT_THROW(port_->crear_port("COM7"), VirtualPortError);
  fs::remove_all(root_ / "links"), std::ofstream(root_ / "links");
  EXPECT_THROW(port_->crear_port("COM8"), VirtualPortError);
  EXPECT_EQ(port_->devicePath(), "");
  fs::remove(root_ / "links"), port_->crear_port("COM6");
  port_.reset();  // the program ends: its name goes with it
  EXPECT_FALSE(fs::is_symlink(registry_->linkPath(6)));
}

TEST_F(VirtualPortOnPty, everyByteValuePassesUnchangedBothWaysAndIsCountedWithoutTheEventLoop) {
  port_->crear_port("COM5");
  auto host = std::make_unique<Host>(link());
  host->configure();
  ASSERT_TRUE(processEventsUntil([&] { return port_->senyal_extern(); }));
  Bytes all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  host->send(all);
  ASSERT_TRUE(processEventsUntil([&] { return arrivals_ > 0 && port_->bytes_pendents() == 256; }));
  // The exchange's byte-at-a-time reads and writes are walked end to end.
  EXPECT_EQ(port_->llegir_bytes(300), all);
  port_->escriure_bytes(all);
  EXPECT_EQ(host->receive(256), all);

  // The exchange spins on the count while it waits for the host's reply.
  host->send(bytes("\x06"));
  QDeadlineTimer deadline(5000);
  while (port_->bytes_pendents() == 0 && !deadline.hasExpired()) continue;
  const int told = arrivals_;  // and told when the event loop runs again
  EXPECT_TRUE(processEventsUntil([&] { return arrivals_ == told + 1; }));
  EXPECT_EQ(port_->llegir_bytes(1), bytes("\x06"));
  host->send(bytes("\x06"));  // taken by the exchange before the event loop runs: nothing more to tell
  while (port_->bytes_pendents() == 0 && !deadline.hasExpired()) continue;
  port_->llegir_bytes(1), testing::processPendingEvents();
  EXPECT_EQ(arrivals_, told + 1);
}

// Bytes must only ever reach the side they were meant for, in the session they were meant for.
// Some hosts clear the extended processing flags when they set the line up; they must still be
// seen, at every configuration and in the next session.
TEST_F(VirtualPortOnPty, sessionsAreFollowedEvenWithoutExtendedProcessingAndStaleBytesNeverRead) {
  port_->crear_port("COM5");
  port_->escriure_bytes(bytes("LOST"));  // nobody holds the port
  {
    Host first(link());
    EXPECT_TRUE(port_->port_obert_host());
    ASSERT_TRUE(processEventsUntil([&] { return !signals_.empty(); }));
    EXPECT_FALSE(port_->senyal_extern());  // open alone raises no line
    first.configure(/*keepExtendedProcessing=*/false);
    ASSERT_TRUE(processEventsUntil([&] { return port_->senyal_extern(); }));
    signals_.clear();
    first.configure(false, B9600);  // a second configuration in the same session
    ASSERT_TRUE(processEventsUntil([&] { return raisedLine(); }));
    EXPECT_TRUE(first.receive().empty());
    port_->escriure_bytes(bytes("STALE ANSWER"));
  }  // leaves without reading
  EXPECT_FALSE(port_->port_obert_host());
  ASSERT_TRUE(processEventsUntil([&] { return !port_->senyal_extern(); }) && !signals_.back());
  signals_.clear(), testing::processPendingEvents();  // told once: nobody arrives after the leaving
  EXPECT_TRUE(signals_.empty());
  auto host = std::make_unique<Host>(link());
  host->configure(false);
  ASSERT_TRUE(processEventsUntil([&] { return raisedLine(); }));
  EXPECT_TRUE(host->receive().empty() && !signals_.front());  // the new host's arrival told first
  port_->escriure_bytes(bytes("NEW"));
  EXPECT_EQ(host->receive(3), bytes("NEW"));

  host->send(bytes("noise"));
  ASSERT_TRUE(processEventsUntil([&] { return port_->bytes_pendents() == 5; }));
  port_->preparar_port();  // drops what the host sent before
  EXPECT_EQ(port_->bytes_pendents(), 0);
  host->send(bytes("\x06"));
  ASSERT_TRUE(processEventsUntil([&] { return port_->bytes_pendents() == 1; }));

  port_->tancar_port();
  host->send(bytes("late"));  // to our closed side: nobody's
  EXPECT_EQ(port_->bytes_pendents(), 0);
  EXPECT_THROW(port_->escriure_bytes(bytes("x")), VirtualPortError);
  port_->obrir_port("COM5"), port_->escriure_bytes(bytes("x"));
  EXPECT_EQ(host->receive(1), bytes("x"));
  port_->eliminar_port();
  EXPECT_THROW(port_->escriure_bytes(bytes("x")), VirtualPortError);
}

}  // namespace
}  // namespace kovrel
