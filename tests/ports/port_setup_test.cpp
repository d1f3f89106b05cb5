// The port set-up on a fake system: the COM-name layer over temporary folders lists a lab PC's
// ports; the probe's candidates, the host's port and the window's timers are in memory.

#include "ports/port_setup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "ports/port_texts.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using C = PortsControl;
constexpr PortKind VCP = PortKind::UsbSerial;

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

class PortSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override { setup.reset(), fs::remove_all(root_); }
  // A fresh window on an empty system, set-up pending.
  void reset() {
    TearDown();
    state = {};
    state.primera_instalacio = 1, state.comport1 = 3, state.comport2 = 5;
    main = {}, window = {}, host = {}, probe1 = probe2 = {}, timer2 = timer3 = {}, steps.clear();
    setup = std::make_unique<PortSetup>(
        PortSetup::Parts{state, main, window, host, probe1, probe2, timer2, timer3,
                         [this] { return registry_.serialCommEntries(); }},
        PortSetup::Hooks{[this] { steps.push_back("save"); },
                         [this](int code) { steps.push_back("instructions " + std::to_string(code)); },
                         [this] { steps.push_back("close"); }});
  }
  // COMn listed as `kind`: a pty published under that name by a live (fake) process.
  void plug(const std::vector<std::pair<int, PortKind>>& ports) {
    for (auto [com, kind] : ports) {
      const fs::path pts = folders_.dev / "pts" / std::to_string(com),
                     process = folders_.proc / std::to_string(com);
      for (const fs::path& folder : {pts.parent_path(), process / "fd", process / "fdinfo"})
        fs::create_directories(folder);
      std::ofstream(pts) << "";
      std::ofstream(process / "fdinfo" / "3") << "tty-index:\t" << com << "\n";
      fs::create_symlink("/dev/ptmx", process / "fd" / "3");
      registry_.publish(com, pts, com, kind);
    }
  }
  void openAndSearch() { setup->Form_Load(), timer2.tick(); }  // the search runs 5 s after opening
  std::string label() const { return window.text(C::TextLbl); }
  bool buttonsShown() const {
    return window.isVisible(C::aceptarBtn) && window.isVisible(C::instruccionsBtn);
  }

  fs::path root_ = fs::temp_directory_path() / ("kovrel-setup-" + std::to_string(getpid()));
  ComFolders folders_{root_ / "sys", root_ / "dev", root_ / "proc", root_ / "state", root_ / "links"};
  ComRegistry registry_{folders_};
  SharedState state;
  testing::FakeWindow main;
  FakePortsWindow window;
  testing::FakeVirtualPort host;
  testing::FakeSerialPort probe1, probe2;
  testing::FakeTimer timer2, timer3;
  std::vector<std::string> steps;  // what the hooks were asked for, in order
  std::unique_ptr<PortSetup> setup;
};

TEST_F(PortSetupTest, theListedPortsDecideTheVirtualPortTheTracerPortAndTheGuidance) {
  struct Row {
    std::vector<std::pair<int, PortKind>> listed;
    std::string virtualPort;  // created, or "" when none is
    int code;                 // 0: the tracer's port was accepted
    int tracer;               // comport1 after the search
    std::string message;
  };
  const std::string at(texts::kTracerPortAt),
      two = "...Hay dos puertos USB uno de ellos en COM",
      twoEnd = " Kovrel solo admite hasta COM15 siga instrucciones...";
  const auto uart = PortKind::Uart;
  // clang-format off
  const std::vector<Row> rows = {
      {{}, "COM1", kNoTracerPort, 0, std::string(texts::kNoTracerPort)},
      {{{15, VCP}}, "COM1", 0, 15, at + "15"},
      {{{16, VCP}}, "COM1", kTracerPortAbove15, 16, "..puerto USB en COM16 Kovrel sólo admite hasta COM16 siga instrucciones para solucionar"},
      {{{3, VCP}, {20, VCP}}, "COM1", kOneOfTwoAbove15, 3, two + "20" + twoEnd},
      {{{17, VCP}, {20, VCP}}, "COM1", kOneOfTwoAbove15, 17, two + "17" + twoEnd},
      {{{1, uart}, {2, VCP}, {4, PortKind::Virtual}, {9, uart}}, "COM3", 0, 2, at + "2"},
      // COM7 and above never block the virtual port; a Bluetooth or modem port above COM100 is no
      // reason to fail the set-up.
      {{{7, VCP}, {8, uart}, {101, VCP}}, "COM1", 0, 7, at + "7"},
      {{{1, VCP}, {2, VCP}, {3, VCP}, {4, VCP}, {5, VCP}, {6, VCP}}, "", kNoFreeVirtualPort, 3, std::string(texts::kNoFreePorts)},
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    reset();
    plug(row.listed);
    setup->Form_Load();
    const std::vector<std::string> created{"crear " + row.virtualPort, "opcio 0", "obrir " + row.virtualPort};
    EXPECT_EQ(host.calls, row.virtualPort.empty() ? std::vector<std::string>{} : created);
    EXPECT_EQ(label(), row.virtualPort.empty() ? row.message : "Puerto Série Virtual en " + row.virtualPort);
    timer2.tick();  // the search, 5 s after the virtual port was created
    EXPECT_EQ(setup->error_instrucciones(), row.code);
    EXPECT_EQ(label(), row.message);
    EXPECT_TRUE(state.comport1 == row.tracer && state.primera_instalacio == (row.code == 0 ? 10 : 1));
    EXPECT_TRUE(timer3.active == (row.code == 0) && buttonsShown() == (row.code != 0));
    EXPECT_EQ(host.exists, row.code != kNoTracerPort && !row.virtualPort.empty());
  }
}

TEST_F(PortSetupTest, theProbeTakesTheCandidateThatSentStarsAndAFailedOpenEndsTheSearchByNumber) {
  struct Row {
    int failing, error;         // the candidate that cannot be opened, and why
    std::string first, second;  // else what each candidate holds when accept is pressed
    int tracer, primera;        // comport1 and primera_instalacio after
    std::string message;
  };
  const std::string at(texts::kTracerPortAt), failed(texts::kDetectionFailed);
  // clang-format off
  const std::vector<Row> rows = {
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
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message + " " + row.first + "|" + row.second);
    reset();
    plug({{3, VCP}, {9, VCP}});
    if (row.failing) (row.failing == 1 ? probe1 : probe2).openError = row.error;
    openAndSearch();
    if (!row.failing) {
      ASSERT_EQ(setup->error_instrucciones(), kWaitingForStart);
      EXPECT_EQ(probe1.openedCom * 100 + probe2.openedCom, 309);
      setup->instruccionsBtn_Click();  // nothing to explain while waiting for START
      EXPECT_TRUE(steps.empty());
      probe1.feedSilently(row.first), probe2.feedSilently(row.second);
      setup->aceptarBtn_Click();
      EXPECT_FALSE(window.isEnabled(C::aceptarBtn));
      EXPECT_EQ(setup->error_instrucciones(), row.primera == 10 ? kWaitingForStart : kDetectionFailed);
    }
    EXPECT_TRUE(state.comport1 == row.tracer && state.primera_instalacio == row.primera);
    EXPECT_EQ(label(), row.message);
    EXPECT_EQ(timer3.active, row.primera == 10 || row.failing);
    // A failed search takes the virtual port away; a failed probe leaves it for the next try.
    EXPECT_EQ(host.exists, !row.failing || row.error == kErrPortInUse);
    timer3.tick();  // the finishing step lets go of the candidates
    EXPECT_FALSE(probe1.isOpen() || probe2.isOpen());
  }
}

TEST_F(PortSetupTest, theFinishingStepComesByTimerOrButtonAndHandsTheMainWindowBack) {
  enum Way { Timer3Fires, Accept, Instructions };
  struct Row {
    std::vector<std::pair<int, PortKind>> listed;
    Way way;
    std::vector<std::string> steps;
    std::string hostPort = " COM 1";  // the main window's label of the virtual port
  };
  // clang-format off
  const std::vector<Row> rows = {
      {{{7, VCP}}, Timer3Fires, {"close"}},
      {{}, Accept, {"close"}},
      {{{1, VCP}, {2, VCP}, {3, VCP}, {4, VCP}, {5, VCP}, {6, VCP}}, Instructions, {"save", "close", "instructions 4"}, " COM 5"},
      {{{16, VCP}}, Instructions, {"save", "instructions 5", "close"}},
      {{{2, VCP}, {30, VCP}}, Instructions, {"save", "instructions 6", "close"}},
  };
  // clang-format on
  for (const Row& row : rows) {
    reset();
    for (Control c : {Control::llegirBtn, Control::cfg_btn, Control::sortirBtn}) main.setEnabled(c, false);
    plug(row.listed);
    openAndSearch();
    if (row.way == Timer3Fires) timer3.tick();
    row.way == Accept ? setup->aceptarBtn_Click() : setup->instruccionsBtn_Click();  // no-ops once done
    EXPECT_EQ(steps, row.steps);
    const bool accepted = row.way == Timer3Fires;  // else the read stays locked until a restart
    EXPECT_EQ(main.text(Control::Text1), accepted ? texts::kReadyToUse : texts::kNotConfigured);
    EXPECT_TRUE((main.isEnabled(Control::llegirBtn) && main.isEnabled(Control::cfg_btn)) == accepted &&
                main.isEnabled(Control::sortirBtn));
    EXPECT_EQ(main.text(Control::port_oma_info_lbl), row.hostPort);
  }
}

TEST_F(PortSetupTest, whileTheHostHoldsItsPortTheWindowOnlySaysSo) {
  host.exists = host.hostHolds = true;
  openAndSearch();
  EXPECT_EQ(label(), texts::kCloseSerialApps);
  EXPECT_TRUE(host.calls.empty() && !timer2.active && !timer3.active && !buttonsShown());
}

}  // namespace
}  // namespace kovrel
