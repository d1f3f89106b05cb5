// COM names on a fake system (sysfs, /dev and /proc as plain files): plug, replug, owners dying.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "base/texts.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "ports/com_registry.h"
#include "ports/guidance.h"
#include "ports/port_setup.h"
#include "ports/port_texts.h"

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

// Each failed search has its own instructions: a heading, then steps one empty line apart.
TEST(Guidance, eachFailedSearchHasItsOwnInstructionsAndOnlyComNamesFrom1To255AreNames) {
  for (auto [code, heading] : {std::pair{kNoTracerPort, "ningún puerto USB"},
                               {kDetectionFailed, "falla la detección"},
                               {kNoFreeVirtualPort, "puerto libre"},
                               {kTracerPortAbove15, "más grande que COM15"},
                               {kOneOfTwoAbove15, "uno es más grande"},
                               {kVirtualPortNeedsAdministrator, "necesita un administrador"}}) {
    const auto lines = guidanceLines(code);
    ASSERT_TRUE(lines.size() > 7u && !lines.back().empty()) << code;
    EXPECT_NE(lines.front().find(heading), std::string_view::npos) << code;
    std::string text = std::string(lines.front()) + "\r\n";
    for (std::size_t k = 1; k < lines.size(); ++k) text += "\r\n" + std::string(lines[k]) + "\r\n";
    EXPECT_EQ(guidanceText(code), text);
  }
  for (int code : {0, int{kWaitingForStart}, 8})
    EXPECT_TRUE(guidanceLines(code).empty() && guidanceText(code).empty());

  testing::FakeWindow main;  // the instructions' accept leaves only the exit
  aceptar_instruccionsBtn_Click(main);
  EXPECT_TRUE(!main.isEnabled(Control::llegirBtn) && !main.isEnabled(Control::cfg_btn) &&
              main.isEnabled(Control::sortirBtn));
  // Only COM followed by a number from 1 to 255 is a name.
  EXPECT_TRUE(parseComName("COM1") == 1 && parseComName("com12") == 12 && parseComName("COM255") == 255);
  for (const char* bad :
       {"COM", "COM0", "COM05", "COM256", "COM5x", "COM-1", "LPT1", " COM5", "COM 5", "XOM5"})
    EXPECT_FALSE(parseComName(bad).has_value()) << bad;
  // The folders come from the user's environment, absolute paths only.
  using Env = std::map<std::string, std::string>;
  const fs::path temp = fs::temp_directory_path() / "kovrel";
  for (const auto& [env, state, links] :
       {std::tuple<Env, fs::path, fs::path>{
            {{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}, {"XDG_RUNTIME_DIR", "/r"}}, "/s/kovrel", "/r/kovrel"},
        {{{"XDG_STATE_HOME", "s"}, {"HOME", "/h"}, {"XDG_RUNTIME_DIR", ""}},
         "/h/.local/state/kovrel",
         "/h/.local/state/kovrel/ports"},
        {{{"HOME", "h"}}, temp, temp / "ports"}}) {
    const ComFolders f =
        comFoldersFromEnvironment([&vars = env](const char* name) -> std::optional<std::string> {
          return vars.count(name) ? std::optional(vars.at(name)) : std::nullopt;
        });
    EXPECT_TRUE(f.state == state && f.links == links) << f.state << " " << f.links;
  }
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

// The numbers are the machine's where its folder takes files, carried over from the user's own
// once; a machine folder this process may not write leaves them the user's.
TEST_F(FakeSystem, adapterNumbersAreTheMachinesWhenItsFolderTakesThemAndTheUsersOtherwise) {
  const fs::path machine = root_ / "machine", file = machine / kAssignmentsFileName;
  fs::create_directories(machine);
  writeFile(folders_.state / kAssignmentsFileName, "4 usb:0403:6001:A1:00\n");
  plugUsb("ttyUSB0", "0403:6001", "A1");
  plugUsb("ttyUSB1", "0403:6001", "B2", "1-2");
  const auto yes = [](const fs::path&) { return true; };
  const auto no = [](const fs::path&) { return false; };
  EXPECT_TRUE(withMachineNumbers(folders_, machine, no).state == folders_.state && !fs::exists(file));
  const mode_t previous = ::umask(077);
  ComRegistry registry(withMachineNumbers(folders_, machine, yes));
  EXPECT_EQ(listed(registry), "1:ttyUSB1 4:ttyUSB0");  // the tracer keeps the COM4 its settings name
  ::umask(previous);
  using P = fs::perms;  // published names stay this user's
  EXPECT_TRUE(registry.folders().links == folders_.links &&
              fs::status(file).permissions() ==
                  (P::owner_read | P::owner_write | P::group_read | P::group_write));
  writeFile(folders_.state / kAssignmentsFileName, "9 usb:0403:6001:A1:00\n");  // no longer counts
  ComRegistry again(withMachineNumbers(folders_, machine, yes));
  EXPECT_EQ(listed(again), "1:ttyUSB1 4:ttyUSB0");
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
            "# numbers\n4 usb:0403:6001:GONE:00\nseven usb:x\n0 usb:0403:6001:NEW1:00\n0000000002 "
            "usb:0403:6001:NEW1:00\n"
            "256 usb:2341:0043:7543:00\n9\n7 usb:0403:6001:KEEP:00\n8 usb:0403:6001:KEEP:00\n");
  ComRegistry registry(folders_);
  publishPty(registry, 5, 4, 500);
  plugUsb("ttyACM0", "2341:0043", "7543");
  plugUsb("ttyUSB0", "0403:6001", "NEW1", "1-2");
  plugUsb("ttyUSB1", "0403:6001", "KEEP", "1-3");
  plugUsb("ttyUSB2", "0403:6001", "CLONE", "1-4");  // clones sharing one serial number
  plugUsb("ttyUSB3", "0403:6001", "CLONE", "1-5");
  plugUsb("ttyUSB10", "0403:6001", "TEN", "1-6");  // numbered after ttyUSB3, as the kernel counts
  EXPECT_EQ(listed(registry),
            "1:ttyS0 2:ttyACM0 3:ttyS2 5:pts/4 6:ttyUSB0 7:ttyUSB1 8:ttyUSB2 9:ttyUSB3 10:ttyUSB10");
  EXPECT_EQ(registry.ports()[1].kind, PortKind::UsbSerial);
  std::string full;  // every number but the last saved for an adapter that is absent
  for (int n = 1; n < kMaxComNumber; ++n) full += std::to_string(n) + " usb:gone" + std::to_string(n) + "\n";
  writeFile(folders_.state / kAssignmentsFileName, full);
  ComRegistry crowded(folders_);
  EXPECT_EQ(listed(crowded), "1:ttyS0 3:ttyS2 5:pts/4 255:ttyACM0");
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
  EXPECT_TRUE(fs::is_symlink(registry.linkPath(6)) && registry.unpublish(5, 1200));
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

// The port set-up over the fake system; the probe's candidates, host's port and timers in memory.
using C = PortsControl;
constexpr PortKind VCP = PortKind::UsbSerial;

// The host's port as a port pair: when it asks, its creation waits for an administrator's consent.
struct ConsentedPort : testing::FakeVirtualPort {
  bool asks = false;
  PortCreated pending;
  void createPort(const std::string& n, const PortCreated& done) override {
    if (!asks) return FakeVirtualPort::createPort(n, done);
    calls.push_back("crear " + n), pending = done;
  }
};

struct FakePortsWindow : PortsWindow {
  std::map<C, std::string> texts;
  std::map<C, bool> shown, usable;  // a control not set yet is shown and enabled
  void setText(C c, std::string_view t) override { texts[c] = t; }
  std::string text(C c) const override { return texts.count(c) ? texts.at(c) : ""; }
  void setVisible(C c, bool on) override { shown[c] = on; }
  bool isVisible(C c) const override { return !shown.count(c) || shown.at(c); }
  void setEnabled(C c, bool on) override { usable[c] = on; }
  bool isEnabled(C c) const override { return !usable.count(c) || usable.at(c); }
};

class PortSetupTest : public FakeSystem {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { setup.reset(), fs::remove_all(root_); }
  // A fresh window on an empty system, set-up pending.
  void reset() {
    TearDown();
    state = {};
    state.primera_instalacio = 1, state.comport1 = 3, state.comport2 = 5;
    main = {}, window = {}, host = {}, probe1 = probe2 = {}, steps.clear(), otherLink.clear();
    timer2.active = timer3.active = true;  // left running: the set-up starts them when it means to
    setup = std::make_unique<PortSetup>(
        PortSetup::Parts{state, main, window, host, probe1, probe2, timer2, timer3,
                         [this] { return registry_.serialCommEntries(); }, [this] { return otherLink; }},
        PortSetup::Hooks{[this] { steps.push_back("save"); },
                         [this](int code) { steps.push_back("instructions " + std::to_string(code)); },
                         [this] { steps.push_back("close"); }});
  }
  // COMn listed as `kind`: a pty published under that name by a live (fake) process.
  void plug(const std::vector<std::pair<int, PortKind>>& ports) {
    for (auto [com, kind] : ports) publishPty(registry_, com, com, com, kind);
  }
  void openAndSearch() { setup->Form_Load(), timer2.tick(); }  // the search runs 5 s after opening
  std::string label() const { return window.text(C::TextLbl); }
  bool buttonsShown() const {
    return window.isVisible(C::aceptarBtn) && window.isVisible(C::instruccionsBtn);
  }

  ComRegistry registry_{folders_};
  SharedState state;
  testing::FakeWindow main;
  FakePortsWindow window;
  ConsentedPort host;
  testing::FakeSerialPort probe1, probe2;
  testing::FakeTimer timer2, timer3;
  std::vector<std::string> steps;  // what the hooks were asked for, in order
  std::string otherLink;           // the TCP or folder link's label while it is in use
  std::unique_ptr<PortSetup> setup;
};

TEST_F(PortSetupTest, theListedPortsDecideTheVirtualPortTheTracerPortAndTheGuidance) {
  // Listed; the virtual port created ("" when none is); 0 when the tracer's port was accepted, else
  // the guidance; comport1 after the search; the message.
  const std::string at(texts::kTracerPortAt),
      two = "...Hay dos puertos USB uno de ellos en COM",
      twoEnd = " Kovrel solo admite hasta COM15 siga instrucciones...";
  const auto uart = PortKind::Uart;
  // clang-format off
  const std::vector<std::tuple<std::vector<std::pair<int, PortKind>>, std::string, int, int, std::string>> rows = {
      {{}, "COM1", kNoTracerPort, 0, std::string(texts::kNoTracerPort)},
      {{{15, VCP}}, "COM1", 0, 15, at + "15"},
      {{{16, VCP}}, "COM1", kTracerPortAbove15, 16, "..puerto USB en COM16 Kovrel sólo admite hasta COM15 siga instrucciones para solucionar"},
      {{{3, VCP}, {20, VCP}}, "COM1", kOneOfTwoAbove15, 3, two + "20" + twoEnd},
      {{{17, VCP}, {20, VCP}}, "COM1", kOneOfTwoAbove15, 17, two + "17" + twoEnd},
      {{{1, VCP}, {2, uart}, {4, PortKind::Virtual}, {9, uart}}, "COM3", 0, 1, at + "1"},
      // COM7 and up never block the virtual port; a Bluetooth or modem port above COM100 is ignored.
      {{{7, VCP}, {8, uart}, {101, VCP}}, "COM1", 0, 7, at + "7"},
      // The last free number a host offers, and the last one searched for the tracer.
      {{{1, uart}, {2, uart}, {3, uart}, {4, uart}, {5, uart}, {100, VCP}}, "COM6", kTracerPortAbove15, 100, "..puerto USB en COM100 Kovrel sólo admite hasta COM15 siga instrucciones para solucionar"},
      {{{1, VCP}, {2, VCP}, {3, VCP}, {4, VCP}, {5, VCP}, {6, VCP}}, "", kNoFreeVirtualPort, 3, std::string(texts::kNoFreePorts)},
  };
  // clang-format on
  for (const auto& [listed, virtualPort, code, tracer, message] : rows) {
    SCOPED_TRACE(message);
    reset();
    plug(listed);
    setup->Form_Load();
    const std::vector<std::string> created{"crear " + virtualPort, "opcio 0", "obrir " + virtualPort};
    EXPECT_EQ(host.calls, virtualPort.empty() ? std::vector<std::string>{} : created);
    EXPECT_EQ(label(), virtualPort.empty() ? message : "Puerto Série Virtual en " + virtualPort);
    EXPECT_EQ(window.isVisible(C::espereLbl), !virtualPort.empty());  // "Espere" until the search
    timer2.tick();  // the search, 5 s after the virtual port was created
    EXPECT_EQ(setup->error_instrucciones(), code);
    EXPECT_EQ(label(), message);
    EXPECT_TRUE(state.comport1 == tracer && state.primera_instalacio == (code == 0 ? 10 : 1));
    EXPECT_TRUE(timer3.active == (code == 0) && buttonsShown() == (code != 0));
    EXPECT_EQ(host.exists, code != kNoTracerPort && !virtualPort.empty());
  }
}

TEST_F(PortSetupTest, theProbeTakesTheCandidateThatSentStarsAndAFailedOpenEndsTheSearchByNumber) {
  // The candidate that cannot be opened and why, else what each candidate holds when accept is
  // pressed; comport1 and primera_instalacio after; the message.
  const std::string at(texts::kTracerPortAt), failed(texts::kDetectionFailed);
  // clang-format off
  const std::vector<std::tuple<int, int, std::string, std::string, int, int, std::string>> rows = {
      {0, 0, "***", "***\x01", 9, 10, at + "9"},  // exactly three bytes are not a read yet
      {0, 0, "****", "****", 3, 10, at + "3"},     // both answer: the lower COM number
      {0, 0, "", "", 3, 1, failed},
      {0, 0, "*#**", "**", 3, 1, failed},
      {1, kErrPortInUse, "", "", 9, 10, at + "9"},  // another program holds it: the other one
      {2, kErrPortInUse, "", "", 3, 10, at + "3"},
      {1, kErrNoSuchPort, "", "", 3, 1, std::string(texts::kRestartNeeded)},
      {2, kErrPortOther, "", "", 3, 1, std::string(texts::kUnknownError)},
  };
  // clang-format on
  for (const auto& [failing, error, first, second, tracer, primera, message] : rows) {
    SCOPED_TRACE(message + " " + first + "|" + second);
    reset();
    plug({{3, VCP}, {9, VCP}});
    probe1.feedSilently("*");  // there before the search: no answer to its START
    if (failing) (failing == 1 ? probe1 : probe2).openError = error;
    openAndSearch();
    if (!failing) {
      ASSERT_EQ(setup->error_instrucciones(), kWaitingForStart);
      EXPECT_EQ(probe1.openedCom * 100 + probe2.openedCom, 309);
      setup->instruccionsBtn_Click();  // nothing to explain while waiting for START
      EXPECT_TRUE(steps.empty());
      probe1.feedSilently(first), probe2.feedSilently(second);
      setup->aceptarBtn_Click();
      EXPECT_FALSE(window.isEnabled(C::aceptarBtn));
      EXPECT_EQ(setup->error_instrucciones(), primera == 10 ? kWaitingForStart : kDetectionFailed);
    }
    EXPECT_TRUE(state.comport1 == tracer && state.primera_instalacio == primera);
    EXPECT_EQ(label(), message);
    EXPECT_EQ(timer3.active, primera == 10 || failing);
    // A failed search takes the virtual port away; a failed probe leaves it for the next try.
    EXPECT_EQ(host.exists, !failing || error == kErrPortInUse);
    timer3.tick();  // the finishing step lets go of the candidates
    EXPECT_FALSE(probe1.isOpen() || probe2.isOpen());
  }
}

TEST_F(PortSetupTest, theFinishingStepComesByTimerOrButtonAndHandsTheMainWindowBack) {
  // The search starts five seconds after opening and finishes seven after a finding.
  EXPECT_TRUE(intervalMs(PortsTimer::Timer2) == 5000 && intervalMs(PortsTimer::Timer3) == 7000);
  enum Way { Timer3Fires, Accept, Instructions, ClosedFromFrame };
  // Listed; how the set-up ends; what the hooks were asked for; the main window's label of the virtual port.
  // clang-format off
  const std::vector<std::tuple<std::vector<std::pair<int, PortKind>>, Way, std::vector<std::string>, std::string>> rows = {
      {{{7, VCP}}, Timer3Fires, {"close"}, " COM 1"},
      {{{3, VCP}}, ClosedFromFrame, {"close"}, " COM 1"},  // given up while waiting for START: never left locked
      {{}, Accept, {"close"}, " COM 1"},
      {{{1, VCP}, {2, VCP}, {3, VCP}, {4, VCP}, {5, VCP}, {6, VCP}}, Instructions, {"save", "close", "instructions 4"}, " COM 5"},
      {{{16, VCP}}, Instructions, {"save", "instructions 5", "close"}, " COM 1"},
      {{{2, VCP}, {30, VCP}}, Instructions, {"save", "instructions 6", "close"}, " COM 1"},
      // Over TCP the port pair a host holds is neither made, removed nor explained.
      {{{7, VCP}}, Timer3Fires, {"close"}, " TCP 127.0.0.1:5000"},
      {{}, Accept, {"close"}, " TCP 127.0.0.1:5000"}};
  // clang-format on
  for (const auto& [listed, way, hooked, hostPort] : rows) {
    reset();
    if (hostPort.starts_with(" TCP")) otherLink = hostPort, host.exists = host.hostHolds = true;
    for (Control c : {Control::llegirBtn, Control::cfg_btn, Control::sortirBtn}) main.setEnabled(c, false);
    plug(listed);
    openAndSearch();
    if (way == Timer3Fires) timer3.tick();
    if (way == ClosedFromFrame) setup->closedByOperator();
    way == Accept ? setup->aceptarBtn_Click() : setup->instruccionsBtn_Click();  // no-ops once done
    EXPECT_EQ(steps, hooked);
    const bool accepted =
        way == Timer3Fires || way == ClosedFromFrame;  // else the read stays locked until a restart
    const std::string ready = otherLink.empty() ? ", Tavrek debe usar COM" + hostPort.substr(5) : "";
    EXPECT_EQ(main.text(Control::Text1),
              accepted ? "...ya puede usar el Kovrel" + ready : std::string(texts::kNotConfigured));
    EXPECT_TRUE(otherLink.empty() || (host.calls.empty() && host.exists));
    EXPECT_TRUE((main.isEnabled(Control::llegirBtn) && main.isEnabled(Control::cfg_btn)) == accepted &&
                main.isEnabled(Control::sortirBtn));
    EXPECT_EQ(main.text(Control::port_oma_info_lbl), hostPort);
  }
}

// CONFIG on a working set-up: the port pair it let go of is still listed under its number, ours.
TEST_F(PortSetupTest, thePortStillOursKeepsItsNumberARefusedConsentChangesNothingAHeldPortIsOnlyTold) {
  const auto uart = PortKind::Uart, ours = PortKind::Virtual;
  host.exists = true;
  plug({{1, uart}, {2, uart}, {3, uart}, {4, uart}, {5, ours}});
  setup->Form_Load();
  EXPECT_EQ(host.calls.front(), "crear COM5");
  for (bool consented : {true, false}) {
    reset();
    host.exists = host.asks = true;
    state.estaba_configurat = 10;  // set up before CONFIG
    plug({{1, uart}, {5, ours}});
    setup->Form_Load();
    EXPECT_TRUE(host.calls == std::vector<std::string>{"crear COM2"} && state.comport2 == 5 &&
                !timer2.active);
    const std::string refused(texts::kPairNeedsAdministrator);
    host.pending(consented ? std::nullopt : std::optional(VirtualPortError(refused, true)));
    EXPECT_EQ(label(), consented ? "Puerto Série Virtual en COM2" : refused);
    EXPECT_TRUE(state.comport2 == (consented ? 2 : 5) && state.primera_instalacio == (consented ? 1 : 10));
    EXPECT_EQ(host.calls.back(), consented ? "obrir COM2" : "obrir COM5");  // the host's port as it was
    EXPECT_EQ(setup->error_instrucciones(), consented ? 0 : int{kVirtualPortNeedsAdministrator});
    EXPECT_TRUE(timer2.active == consented && buttonsShown() == !consented);
  }
  setup->instruccionsBtn_Click();  // after a refusal: its own instructions, the set-up as it was
  EXPECT_EQ(steps, (std::vector<std::string>{"save", "close", "instructions 7"}));
  EXPECT_EQ(main.text(Control::Text1),
            "...ya puede usar el Kovrel, Tavrek debe usar COM5");  // the port it kept
  reset(), host.asks = true, setup->Form_Load();
  setup->closedByOperator(), host.pending(std::nullopt);  // the window closed before the consent came
  EXPECT_TRUE(state.comport2 == 1 && !timer2.active);
  setup.reset(), host.pending(std::nullopt);
  reset(), host.exists = host.hostHolds = true;  // while the host holds its port the window only says so
  openAndSearch();
  EXPECT_EQ(label(), texts::kCloseSerialApps);
  EXPECT_TRUE(host.calls.empty() && !timer2.active && !timer3.active && !buttonsShown());
}

}  // namespace
}  // namespace kovrel
