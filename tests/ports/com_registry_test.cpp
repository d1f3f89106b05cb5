// COM names on a fake system: a sysfs tree, /dev and /proc made of plain files in a temporary
// folder, so adapters can be plugged, unplugged and replugged, and owners can die, at will.

#include "ports/com_registry.h"

#include <gtest/gtest.h>
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
  void SetUp() override { fs::remove_all(root_); }
  void TearDown() override { fs::remove_all(root_); }

  fs::path dev(const std::string& name) const { return folders_.dev / name; }
  fs::path tty(const std::string& name) const { return folders_.sysfs / "class" / "tty" / name; }
  // A USB adapter ("vendor:product"): the USB device at `usbPath` (e.g. "1-2"), its interface and
  // the tty under it, linked from class/tty the way the kernel does.
  void plugUsb(const std::string& name, const std::string& id, const std::string& serial,
               const std::string& usbPath = "1-1", const std::string& iface = "00") {
    const fs::path usb = folders_.sysfs / "devices" / "usb1" / usbPath,
                   port = usb / (usbPath + ":1." + iface);
    writeFile(usb / "idVendor", id.substr(0, 4) + "\n");
    writeFile(usb / "idProduct", id.substr(5) + "\n");
    if (!serial.empty()) writeFile(usb / "serial", serial + "\n");
    writeFile(port / "bInterfaceNumber", iface + "\n");
    fs::create_directories(port / name);
    fs::create_directories(tty(name));
    fs::create_directory_symlink(port / name, tty(name) / "device");
    writeFile(dev(name), "");
  }
  void unplug(const std::string& name) { fs::remove_all(tty(name)), fs::remove(dev(name)); }
  void addUart(int index, const std::string& type) {
    writeFile(tty("ttyS" + std::to_string(index)) / "type", type + "\n"),
        writeFile(dev("ttyS" + std::to_string(index)), "");
  }
  fs::path addPts(int n) {
    writeFile(dev("pts/" + std::to_string(n)), "");
    return dev("pts/" + std::to_string(n));
  }
  // Process `pid` holds descriptor `fd` leading to `held`; a pty master's fdinfo names its pty.
  void addFd(int pid, int fd, const fs::path& held, const std::string& info = "") {
    const fs::path process = folders_.proc / std::to_string(pid);
    writeFile(process / "fdinfo" / std::to_string(fd), "pos:\t0\nflags:\t02\n" + info);
    fs::create_directories(process / "fd");
    fs::create_symlink(held, process / "fd" / std::to_string(fd));
  }
  void addPtyOwner(int pid, int n) { addFd(pid, 3, "/dev/ptmx", "tty-index:\t" + std::to_string(n) + "\n"); }
  void crash(int pid) { fs::remove_all(folders_.proc / std::to_string(pid)); }
  fs::path publishPty(ComRegistry& registry, int com, int n, int pid, PortKind kind = PortKind::Virtual) {
    addPtyOwner(pid, n);
    registry.publish(com, addPts(n), pid, kind);
    return dev("pts/" + std::to_string(n));
  }
  // "1:ttyS0 2:ttyUSB0 5:pts/4": the numbers and the devices they open.
  std::string listed(ComRegistry& registry) const {
    std::string text;
    for (const auto& p : registry.ports())
      text += (text.empty() ? "" : " ") + std::to_string(p.number) + ":" +
              p.device.lexically_relative(folders_.dev).string();
    return text;
  }
  const fs::path root_ = fs::temp_directory_path() / ("kovrel-ports-" + std::to_string(getpid()));
  const ComFolders folders_{root_ / "sys", root_ / "dev", root_ / "proc", root_ / "state", root_ / "links"};
};

TEST(ComNames, onlyComFollowedByANumberFrom1To255IsAName) {
  EXPECT_TRUE(parseComName("COM5") == 5 && parseComName("com12") == 12 && parseComName("COM255") == 255);
  for (const char* bad : {"COM", "COM0", "COM05", "COM256", "COM5x", "COM-1", "LPT1", " COM5", "COM 5"})
    EXPECT_FALSE(parseComName(bad).has_value()) << bad;
  EXPECT_EQ(comNameOf(7), "COM7");
}

TEST_F(FakeSystem, adapterKeepsItsNumberByIdentityInterfaceOrSocketAcrossRestartsAndReplugs) {
  addUart(0, "4");
  plugUsb("ttyUSB0", "0403:6001", "A50285BI", "1-1");
  plugUsb("ttyUSB1", "0403:6010", "FT2232X", "1-2", "00");  // one chip, two ports
  plugUsb("ttyUSB2", "0403:6010", "FT2232X", "1-2", "01");
  plugUsb("ttyUSB3", "1a86:7523", "", "1-3");  // no serial number: known by the socket
  plugUsb("ttyUSB4", "1a86:7523", "", "1-5");
  ComRegistry first(folders_);
  EXPECT_EQ(listed(first), "1:ttyS0 2:ttyUSB0 3:ttyUSB1 4:ttyUSB2 5:ttyUSB3 6:ttyUSB4");
  // All unplugged; a new adapter arrives first and takes the next free number; the others come
  // back under other kernel names (the chip's interfaces swapped), the serial-less pair in their
  // sockets, the rest in other sockets.
  for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyUSB3", "ttyUSB4"}) unplug(name);
  plugUsb("ttyUSB0", "067b:2303", "", "1-6");
  plugUsb("ttyUSB1", "1a86:7523", "", "1-3");
  plugUsb("ttyUSB2", "1a86:7523", "", "1-5");
  plugUsb("ttyUSB3", "0403:6010", "FT2232X", "1-4", "01");
  plugUsb("ttyUSB4", "0403:6010", "FT2232X", "1-4", "00");
  plugUsb("ttyUSB5", "0403:6001", "A50285BI", "1-7");
  ComRegistry restarted(folders_);
  EXPECT_EQ(listed(restarted), "1:ttyS0 2:ttyUSB5 3:ttyUSB4 4:ttyUSB3 5:ttyUSB1 6:ttyUSB2 7:ttyUSB0");
}

// Saved numbers hold (a damaged line of the file costs only that line); a new adapter takes the
// lowest number not held by a real UART, a published name or a saved adapter that is absent.
TEST_F(FakeSystem, newAdapterTakesLowestNumberNotHeldAndDamagedSavedLinesAreSkipped) {
  addUart(0, "4");
  addUart(1, "0");  // a slot the driver reserved with no UART behind it: COM2 stays free
  addUart(2, "4");
  addUart(3, "4");
  fs::remove(dev("ttyS3"));  // no device node: no port
  writeFile(folders_.state / kAssignmentsFileName,
            "# numbers\n4 usb:0403:6001:GONE:00\nseven usb:x\n0 usb:zero\n300 usb:big\n9\n"
            "7 usb:0403:6001:KEEP:00\n8 usb:0403:6001:KEEP:00\n");
  ComRegistry registry(folders_);
  publishPty(registry, 5, 4, 500);
  plugUsb("ttyACM0", "2341:0043", "7543");
  plugUsb("ttyUSB0", "0403:6001", "NEW1", "1-2");
  plugUsb("ttyUSB1", "0403:6001", "KEEP", "1-3");
  EXPECT_EQ(listed(registry), "1:ttyS0 2:ttyACM0 3:ttyS2 5:pts/4 6:ttyUSB0 7:ttyUSB1");
  EXPECT_EQ(registry.ports()[1].kind, PortKind::UsbSerial);
}

TEST_F(FakeSystem, linkIsFollowedOnlyWhileItsRecordedOwnerHoldsThePty) {
  ComRegistry registry(folders_);
  const fs::path pts7 = publishPty(registry, 5, 7, 800);
  EXPECT_EQ(registry.publication(5).value_or(Publication{}).ownerPid, 800);
  EXPECT_EQ(fs::read_symlink(registry.linkPath(5)), pts7);
  addFd(900, 0, "/dev/null");  // an owner holding the device itself rather than the master
  addFd(900, 5, addPts(3));
  registry.publish(3, addPts(3), 900, PortKind::UsbSerial);
  EXPECT_EQ(registry.resolve(3), addPts(3));

  // The owner crashed and its pid now belongs to a program holding another pty; then it is gone.
  crash(800);
  addPtyOwner(800, 8);
  addPts(8);
  EXPECT_FALSE(registry.publication(5).has_value() || registry.resolve(5).has_value());
  EXPECT_EQ(registry.serialCommEntries(), (std::vector<SerialCommEntry>{{"\\Device\\VCP0", "COM3"}}));
  crash(800);
  EXPECT_FALSE(registry.resolve(5).has_value());

  // A link leading elsewhere than its owner record says, or one without a record.
  publishPty(registry, 6, 4, 1000);
  addPtyOwner(1001, 9);
  fs::remove(registry.linkPath(6));
  fs::create_symlink(addPts(9), registry.linkPath(6));
  EXPECT_FALSE(registry.resolve(6).has_value());
  fs::remove(registry.ownerRecordPath(6));
  EXPECT_FALSE(registry.resolve(6).has_value());
}

TEST_F(FakeSystem, onlyOwnOrStaleNamesAreReplacedOrRemovedAndTheFolderIsPrivate) {
  fs::create_directories(folders_.links);
  fs::permissions(folders_.links, fs::perms::all);
  ComRegistry registry(folders_);
  publishPty(registry, 5, 1, 1100);
  EXPECT_EQ(fs::status(folders_.links).permissions() & fs::perms::all, fs::perms::owner_all);
  crash(1100);  // link left behind
  const fs::path mine = publishPty(registry, 5, 2, 1200);
  EXPECT_EQ(registry.resolve(5), mine);

  const fs::path theirs = publishPty(registry, 6, 3, 1300);
  EXPECT_THROW(registry.publish(5, theirs, 1300, PortKind::Virtual), ComRegistryError);
  EXPECT_EQ(registry.resolve(5), mine);
  EXPECT_THROW(registry.publish(0, theirs, 1300, PortKind::Virtual), ComRegistryError);

  EXPECT_FALSE(registry.unpublish(6, 1200));  // another program's live name
  EXPECT_TRUE(fs::is_symlink(registry.linkPath(6)));
  EXPECT_TRUE(registry.unpublish(5, 1200));
  EXPECT_FALSE(fs::is_symlink(registry.linkPath(5)) || fs::exists(registry.ownerRecordPath(5)));
  crash(1300);
  EXPECT_TRUE(registry.unpublish(6, 1200) && !fs::is_symlink(registry.linkPath(6)));  // stale: anyone may
}

TEST_F(FakeSystem, foldersAndRecordsAreTheUsersAloneAndALinkedOrForeignLinkFolderIsRefused) {
  const mode_t previous = ::umask(0);
  ComRegistry registry(folders_);
  plugUsb("ttyUSB0", "0403:6001", "A1");
  registry.ports();  // the first number saved creates the state folder
  publishPty(registry, 5, 1, 1100);
  ::umask(previous);
  EXPECT_EQ(fs::status(folders_.state).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(registry.ownerRecordPath(5)).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);

  // Someone else's folder, or a link to any folder: nothing is published and the target is untouched.
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directory(elsewhere);
  fs::permissions(elsewhere, fs::perms::all);
  fs::remove_all(folders_.links);
  fs::create_directory_symlink(elsewhere, folders_.links);
  EXPECT_THROW(publishPty(registry, 5, 2, 1200), UnsafeLinkFolder);
  EXPECT_TRUE(fs::is_empty(elsewhere) && fs::status(elsewhere).permissions() == fs::perms::all);
  fs::remove(folders_.links);
  fs::create_directory(folders_.links);
  ASSERT_EQ(::chown(folders_.links.c_str(), getuid() + 1, static_cast<gid_t>(-1)), 0);
  EXPECT_THROW(publishPty(registry, 5, 3, 1300), UnsafeLinkFolder);
}

}  // namespace
}  // namespace kovrel
