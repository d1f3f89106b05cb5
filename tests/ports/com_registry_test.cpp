// COM names on a fake system: a sysfs tree, /dev and /proc made of plain files in a temporary
// folder, so adapters can be plugged, unplugged and replugged, and owners can die, at will.

#include "ports/com_registry.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

namespace kovrel {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << content;
}

class FakeSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kovrel-ports-" + std::to_string(getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    folders_ = {root_ / "sys", root_ / "dev", root_ / "proc", root_ / "state", root_ / "links"};
    fs::create_directories(folders_.sysfs / "class" / "tty");
    fs::create_directories(folders_.dev / "pts");
    fs::create_directories(folders_.proc);
  }
  void TearDown() override { fs::remove_all(root_); }

  // A USB adapter: the USB device at `usbPath` (e.g. "1-2"), its interface, and the tty under it,
  // linked from class/tty the way the kernel does.
  void plugUsb(const std::string& tty, const std::string& vendor, const std::string& product,
               const std::string& serial, const std::string& usbPath = "1-1",
               const std::string& iface = "00") {
    const fs::path usb = folders_.sysfs / "devices" / "pci0000:00" / "usb1" / usbPath;
    writeFile(usb / "idVendor", vendor + "\n");
    writeFile(usb / "idProduct", product + "\n");
    if (!serial.empty()) writeFile(usb / "serial", serial + "\n");
    const fs::path port = usb / (usbPath + ":1." + iface) / tty;
    writeFile(usb / (usbPath + ":1." + iface) / "bInterfaceNumber", iface + "\n");
    fs::create_directories(port);
    fs::create_directories(folders_.sysfs / "class" / "tty" / tty);
    fs::create_directory_symlink(port, folders_.sysfs / "class" / "tty" / tty / "device");
    writeFile(folders_.dev / tty, "");
  }
  void unplug(const std::string& tty) {
    fs::remove_all(folders_.sysfs / "class" / "tty" / tty);
    fs::remove(folders_.dev / tty);
  }
  void addUart(int index, const std::string& type) {
    const std::string tty = "ttyS" + std::to_string(index);
    writeFile(folders_.sysfs / "class" / "tty" / tty / "type", type + "\n");
    writeFile(folders_.dev / tty, "");
  }
  // A pts device node and a process `pid` holding file descriptors that lead to `fds`.
  fs::path addPts(int n) {
    const fs::path pts = folders_.dev / "pts" / std::to_string(n);
    writeFile(pts, "");
    return pts;
  }
  void addProcess(int pid, const std::map<int, std::pair<fs::path, std::string>>& fds) {
    const fs::path process = folders_.proc / std::to_string(pid);
    fs::create_directories(process / "fd");
    for (const auto& [fd, what] : fds) {
      fs::create_symlink(what.first, process / "fd" / std::to_string(fd));
      writeFile(process / "fdinfo" / std::to_string(fd), "pos:\t0\nflags:\t02\n" + what.second);
    }
  }
  // A process holding the master of pts `n`, as a pty owner does.
  void addPtyOwner(int pid, int n) {
    addProcess(pid, {{3, {"/dev/ptmx", "tty-index:\t" + std::to_string(n) + "\n"}}});
  }

  std::map<std::string, std::string> entries(ComRegistry& registry) {
    std::map<std::string, std::string> byCom;
    for (const auto& e : registry.serialCommEntries()) byCom[e.data] = e.valueName;
    return byCom;
  }

  fs::path root_;
  ComFolders folders_;
};

// ---- names and folders ----------------------------------------------------------------------------

TEST(ComNames, onlyComFollowedByANumberFrom1To255IsAName) {
  EXPECT_EQ(parseComName("COM5"), 5);
  EXPECT_EQ(parseComName("com12"), 12);
  EXPECT_EQ(parseComName("COM255"), 255);
  for (const char* bad : {"COM", "COM0", "COM05", "COM256", "COM5x", "COM-1", "LPT1", " COM5", "COM 5"})
    EXPECT_FALSE(parseComName(bad).has_value()) << bad;
  EXPECT_EQ(comNameOf(7), "COM7");
}

TEST(ComFolderChoice, runtimeFolderHoldsTheLinksWhenTheSessionHasOne) {
  std::map<std::string, std::string> env = {
      {"XDG_RUNTIME_DIR", "/run/user/1000"}, {"XDG_STATE_HOME", "/home/op/.st"}, {"HOME", "/home/op"}};
  auto folders = comFoldersFromEnvironment([&](const char* n) -> std::optional<std::string> {
    if (env.count(n)) return env[n];
    return std::nullopt;
  });
  EXPECT_EQ(folders.links, "/run/user/1000/kovrel");
  EXPECT_EQ(folders.state, "/home/op/.st/kovrel");
}

TEST(ComFolderChoice, withoutRuntimeFolderTheLinksGoUnderTheStateFolder) {
  std::map<std::string, std::string> env = {{"HOME", "/home/op"}, {"XDG_RUNTIME_DIR", "relative/run"}};
  auto folders = comFoldersFromEnvironment([&](const char* n) -> std::optional<std::string> {
    if (env.count(n)) return env[n];
    return std::nullopt;
  });
  EXPECT_EQ(folders.state, "/home/op/.local/state/kovrel");
  EXPECT_EQ(folders.links, "/home/op/.local/state/kovrel/ports");
}

// ---- numbers of devices ---------------------------------------------------------------------------

TEST_F(FakeSystem, adapterKeepsItsNumberAcrossRestartsAndReplugs) {
  addUart(0, "4");
  plugUsb("ttyUSB0", "0403", "6001", "A50285BI", "1-1");
  {
    ComRegistry registry(folders_);
    EXPECT_EQ(registry.resolve(2), folders_.dev / "ttyUSB0");
  }
  // Unplugged; another adapter arrives first and takes the next free number; the first one comes
  // back in another socket under another kernel name and still is COM2.
  unplug("ttyUSB0");
  plugUsb("ttyUSB0", "1a86", "7523", "", "1-3");
  plugUsb("ttyUSB1", "0403", "6001", "A50285BI", "1-4");
  ComRegistry restarted(folders_);
  EXPECT_EQ(restarted.resolve(2), folders_.dev / "ttyUSB1");
  EXPECT_EQ(restarted.resolve(3), folders_.dev / "ttyUSB0");
  EXPECT_EQ(restarted.resolve(1), folders_.dev / "ttyS0");
}

TEST_F(FakeSystem, newAdapterTakesLowestNumberNotHeldByUartsPublishedNamesOrAbsentAdapters) {
  addUart(0, "4");
  addUart(1, "4");
  writeFile(folders_.state / kAssignmentsFileName, "3 usb:0403:6001:GONE:00\n");
  ComRegistry registry(folders_);
  const fs::path pts = addPts(4);
  addPtyOwner(500, 4);
  registry.publish(4, pts, 500, PortKind::Virtual);
  plugUsb("ttyUSB0", "0403", "6001", "NEW1");
  EXPECT_EQ(registry.resolve(5), folders_.dev / "ttyUSB0");
}

TEST_F(FakeSystem, eachInterfaceOfAMultiPortChipIsItsOwnPort) {
  plugUsb("ttyUSB0", "0403", "6010", "FT2232X", "1-1", "00");
  plugUsb("ttyUSB1", "0403", "6010", "FT2232X", "1-1", "01");
  ComRegistry registry(folders_);
  auto ports = registry.ports();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].device, folders_.dev / "ttyUSB0");
  EXPECT_EQ(ports[1].device, folders_.dev / "ttyUSB1");
}

TEST_F(FakeSystem, adapterWithoutSerialNumberIsKnownByItsSocket) {
  plugUsb("ttyUSB0", "1a86", "7523", "", "1-2");
  plugUsb("ttyUSB1", "1a86", "7523", "", "1-5");
  ComRegistry(folders_).ports();
  // Replugged in the opposite order: each socket keeps its number.
  unplug("ttyUSB0");
  unplug("ttyUSB1");
  plugUsb("ttyUSB0", "1a86", "7523", "", "1-5");
  plugUsb("ttyUSB1", "1a86", "7523", "", "1-2");
  ComRegistry registry(folders_);
  EXPECT_EQ(registry.resolve(1), folders_.dev / "ttyUSB1");
  EXPECT_EQ(registry.resolve(2), folders_.dev / "ttyUSB0");
}

TEST_F(FakeSystem, phantomUartsAndDevicesWithoutNodeAreNoPorts) {
  addUart(0, "4");
  addUart(1, "0");
  addUart(2, "4");
  plugUsb("ttyACM0", "2341", "0043", "7543");
  fs::remove(folders_.dev / "ttyS2");
  ComRegistry registry(folders_);
  auto ports = registry.ports();
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].number, 1);
  EXPECT_EQ(ports[1].number, 2);  // the ACM device: COM2 was free
  EXPECT_EQ(ports[1].kind, PortKind::UsbSerial);
}

TEST_F(FakeSystem, damagedAssignmentLinesAreSkippedAndTheRestKept) {
  writeFile(folders_.state / kAssignmentsFileName,
            "# numbers\n7 usb:0403:6001:KEEP:00\nseven usb:x\n0 usb:zero\n300 usb:big\n9\n"
            "8 usb:0403:6001:KEEP:00\n");
  plugUsb("ttyUSB0", "0403", "6001", "KEEP");
  plugUsb("ttyUSB1", "0403", "6001", "OTHER", "1-2");
  ComRegistry registry(folders_);
  EXPECT_EQ(registry.resolve(7), folders_.dev / "ttyUSB0");
  EXPECT_EQ(registry.resolve(1), folders_.dev / "ttyUSB1");
  EXPECT_FALSE(registry.resolve(8).has_value());
}

// ---- the listing the port search reads -------------------------------------------------------------

TEST_F(FakeSystem, listingNamesAdaptersUartsAndPublishedPortsLikeTheSystemKey) {
  addUart(0, "4");
  plugUsb("ttyUSB0", "0403", "6001", "A1", "1-1");
  plugUsb("ttyUSB1", "0403", "6001", "A2", "1-2");
  ComRegistry registry(folders_);
  const fs::path tracer = addPts(3), host = addPts(4);
  addPtyOwner(600, 3);
  addPtyOwner(601, 4);
  registry.publish(9, tracer, 600, PortKind::UsbSerial);
  registry.publish(5, host, 601, PortKind::Virtual);
  auto byCom = entries(registry);
  EXPECT_EQ(byCom, (std::map<std::string, std::string>{{"COM1", "\\Device\\Serial0"},
                                                       {"COM2", "\\Device\\VCP0"},
                                                       {"COM3", "\\Device\\VCP1"},
                                                       {"COM5", "\\Device\\KovrelPort0"},
                                                       {"COM9", "\\Device\\VCP2"}}));
  // The port search takes the three characters after "\Device\" as the kind.
  EXPECT_EQ(byCom["COM9"].substr(8, 3), "VCP");
  EXPECT_NE(byCom["COM5"].substr(8, 3), "VCP");
}

TEST_F(FakeSystem, publishedNameHidesTheDeviceWithTheSameNumber) {
  addUart(0, "4");
  ComRegistry registry(folders_);
  const fs::path pts = addPts(2);
  addPtyOwner(700, 2);
  registry.publish(1, pts, 700, PortKind::UsbSerial);
  auto list = registry.serialCommEntries();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], (SerialCommEntry{"\\Device\\VCP0", "COM1"}));
  EXPECT_EQ(registry.resolve(1), pts);
}

// ---- published names and their owners -----------------------------------------------------------

TEST_F(FakeSystem, linkIsFollowedOnlyWhileItsOwnerHoldsThePty) {
  ComRegistry registry(folders_);
  const fs::path pts7 = addPts(7);
  addPts(8);
  addPtyOwner(800, 7);
  registry.publish(5, pts7, 800, PortKind::Virtual);
  ASSERT_TRUE(registry.publication(5).has_value());
  EXPECT_EQ(registry.publication(5)->ownerPid, 800);
  EXPECT_EQ(fs::read_symlink(registry.linkPath(5)), pts7);

  // The owner crashed and its pid now belongs to a program holding another pty.
  fs::remove_all(folders_.proc / "800");
  addPtyOwner(800, 8);
  EXPECT_FALSE(registry.publication(5).has_value());
  EXPECT_FALSE(registry.resolve(5).has_value());
  EXPECT_TRUE(registry.serialCommEntries().empty());

  // The owner is gone altogether.
  fs::remove_all(folders_.proc / "800");
  EXPECT_FALSE(registry.resolve(5).has_value());
}

TEST_F(FakeSystem, ownerHoldingTheDeviceItselfKeepsTheLinkLive) {
  ComRegistry registry(folders_);
  const fs::path pts = addPts(3);
  addProcess(900, {{0, {"/dev/null", ""}}, {5, {pts, ""}}});
  registry.publish(3, pts, 900, PortKind::UsbSerial);
  EXPECT_EQ(registry.resolve(3), pts);
}

TEST_F(FakeSystem, linkWithoutMatchingOwnerRecordIsNeverFollowed) {
  ComRegistry registry(folders_);
  const fs::path pts4 = addPts(4), pts5 = addPts(5);
  addPtyOwner(1000, 4);
  addPtyOwner(1001, 5);
  registry.publish(6, pts4, 1000, PortKind::Virtual);
  // The link now leads elsewhere than the record says.
  fs::remove(registry.linkPath(6));
  fs::create_symlink(pts5, registry.linkPath(6));
  EXPECT_FALSE(registry.resolve(6).has_value());
  // No record at all.
  fs::remove(registry.ownerRecordPath(6));
  EXPECT_FALSE(registry.resolve(6).has_value());
}

TEST_F(FakeSystem, publishingReplacesAStaleLinkAndRefusesALiveOne) {
  ComRegistry registry(folders_);
  const fs::path old = addPts(1), mine = addPts(2), theirs = addPts(3);
  addPtyOwner(1100, 1);
  registry.publish(5, old, 1100, PortKind::Virtual);
  fs::remove_all(folders_.proc / "1100");  // crashed, link left behind

  addPtyOwner(1200, 2);
  registry.publish(5, mine, 1200, PortKind::Virtual);
  EXPECT_EQ(registry.resolve(5), mine);

  addPtyOwner(1300, 3);
  EXPECT_THROW(registry.publish(5, theirs, 1300, PortKind::Virtual), ComRegistryError);
  EXPECT_EQ(registry.resolve(5), mine);
  EXPECT_THROW(registry.publish(0, theirs, 1300, PortKind::Virtual), ComRegistryError);
}

TEST_F(FakeSystem, unpublishRemovesOwnOrStaleNamesOnly) {
  ComRegistry registry(folders_);
  const fs::path a = addPts(1), b = addPts(2);
  addPtyOwner(1400, 1);
  addPtyOwner(1500, 2);
  registry.publish(5, a, 1400, PortKind::Virtual);
  registry.publish(6, b, 1500, PortKind::Virtual);

  EXPECT_FALSE(registry.unpublish(6, 1400));  // another program's live name
  EXPECT_TRUE(fs::is_symlink(registry.linkPath(6)));
  EXPECT_TRUE(registry.unpublish(5, 1400));
  EXPECT_FALSE(fs::is_symlink(registry.linkPath(5)));
  EXPECT_FALSE(fs::exists(registry.ownerRecordPath(5)));

  fs::remove_all(folders_.proc / "1500");
  EXPECT_TRUE(registry.unpublish(6, 1400));  // stale: anyone may clear it
  EXPECT_FALSE(fs::is_symlink(registry.linkPath(6)));
}

TEST_F(FakeSystem, linkFolderIsPrivateToTheUser) {
  fs::create_directories(folders_.links);
  fs::permissions(folders_.links, fs::perms::all);
  ComRegistry registry(folders_);
  const fs::path pts = addPts(1);
  addPtyOwner(1600, 1);
  registry.publish(2, pts, 1600, PortKind::Virtual);
  EXPECT_EQ(fs::status(folders_.links).permissions() & fs::perms::all, fs::perms::owner_all);
}

// ---- the same on the real process table ------------------------------------------------------------

TEST_F(FakeSystem, realPtyStaysPublishedWhileThisProcessHoldsItsMaster) {
  ComFolders real = folders_;
  real.dev = "/dev";
  real.proc = "/proc";
  ComRegistry registry(real);
  int master = -1, slave = -1;
  char name[64] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  registry.publish(4, name, getpid(), PortKind::UsbSerial);
  EXPECT_EQ(registry.resolve(4), fs::path(name));

  close(slave);  // only the master left: found through its tty-index
  EXPECT_EQ(registry.resolve(4), fs::path(name));

  close(master);  // pty gone; the number may go to someone's terminal next
  EXPECT_FALSE(registry.resolve(4).has_value());
}

}  // namespace
}  // namespace kovrel
