// The port set-up on a fake system: the COM-name layer over temporary folders lists the ports a
// lab PC might have, the candidates of the START probe and the host's port are in memory, and
// the ports window's timers tick when the test says so.

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
  struct State {
    std::string text;
    bool visible = true, enabled = true;
  };
  std::map<C, State> at;
  void setText(C c, std::string_view t) override { at[c].text = t; }
  std::string text(C c) const override { return at.count(c) ? at.at(c).text : ""; }
  void setVisible(C c, bool on) override { at[c].visible = on; }
  bool isVisible(C c) const override { return !at.count(c) || at.at(c).visible; }
  void setEnabled(C c, bool on) override { at[c].enabled = on; }
  bool isEnabled(C c) const override { return !at.count(c) || at.at(c).enabled; }
};

class PortSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { reset(); }
  void TearDown() override {
    setup.reset();
    fs::remove_all(root_);
  }
  // A fresh window on an empty system, set-up pending.
  void reset() {
    TearDown();
    state = {};
    state.primera_instalacio = 1;
    state.comport1 = 3;
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
      fs::create_directories(pts.parent_path());
      fs::create_directories(process / "fd");
      fs::create_directories(process / "fdinfo");
      std::ofstream(pts) << "";
      std::ofstream(process / "fdinfo" / "3") << "tty-index:\t" << com << "\n";
      fs::create_symlink("/dev/ptmx", process / "fd" / "3");
      registry_.publish(com, pts, com, kind);
    }
  }
  // The window opens; 5 s later the tracer search runs.
  void openAndSearch() {
    setup->Form_Load();
    timer2.tick();
  }
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

// === The free number and the tracer's port ===============================================================

TEST_F(PortSetupTest, theListedPortsDecideTheVirtualPortTheTracerPortAndTheGuidance) {
  struct Row {
    std::vector<std::pair<int, PortKind>> listed;
    std::string virtualPort;  // created, or "" when none is
    int code;                 // 0: the tracer's port was accepted
    int tracer;               // comport1 after the search
    std::string message;
  };
  const std::string at = std::string(texts::kTracerPortAt);
  const std::vector<Row> rows = {
      {{}, "COM1", kNoTracerPort, 0, std::string(texts::kNoTracerPort)},
      {{{15, VCP}}, "COM1", 0, 15, at + "15"},
      {{{16, VCP}},
       "COM1",
       kTracerPortAbove15,
       16,
       "..puerto USB en COM16 Kovrel sólo admite hasta COM16 siga instrucciones para solucionar"},
      {{{3, VCP}, {20, VCP}},
       "COM1",
       kOneOfTwoAbove15,
       3,
       "...Hay dos puertos USB uno de ellos en COM20 Kovrel solo admite hasta COM15 siga instrucciones..."},
      {{{17, VCP}, {20, VCP}},
       "COM1",
       kOneOfTwoAbove15,
       17,
       "...Hay dos puertos USB uno de ellos en COM17 Kovrel solo admite hasta COM15 siga instrucciones..."},
      {{{1, PortKind::Uart}, {2, VCP}, {4, PortKind::Virtual}, {9, PortKind::Uart}}, "COM3", 0, 2, at + "2"},
      {{{7, VCP}, {8, PortKind::Uart}, {12, PortKind::Uart}}, "COM1", 0, 7, at + "7"},
      // A Bluetooth or modem port numbered above 100 is no reason to fail the set-up.
      {{{5, VCP}, {101, VCP}}, "COM1", 0, 5, at + "5"},
      {{{1, VCP}, {2, VCP}, {3, VCP}, {4, VCP}, {5, VCP}, {6, VCP}},
       "",
       kNoFreeVirtualPort,
       3,
       std::string(texts::kNoFreePorts)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    reset();
    plug(row.listed);
    setup->Form_Load();
    if (row.virtualPort.empty()) {
      EXPECT_TRUE(host.calls.empty());
      EXPECT_FALSE(timer2.active);
    } else {
      EXPECT_EQ(label(), "Puerto Série Virtual en " + row.virtualPort);
      EXPECT_EQ(host.calls, (std::vector<std::string>{"crear " + row.virtualPort, "opcio 0",
                                                      "obrir " + row.virtualPort}));
      timer2.tick();
    }
    EXPECT_EQ(setup->error_instrucciones(), row.code);
    EXPECT_EQ(label(), row.message);
    EXPECT_EQ(state.comport1, row.tracer);
    EXPECT_EQ(state.primera_instalacio, row.code == 0 ? 10 : 1);
    EXPECT_EQ(timer3.active, row.code == 0);
    EXPECT_EQ(buttonsShown(), row.code != 0);
    EXPECT_EQ(window.isVisible(C::espereLbl), row.code == 0);
    EXPECT_EQ(host.exists, row.code != kNoTracerPort && !row.virtualPort.empty());
  }
}

// === The START probe =====================================================================================

TEST_F(PortSetupTest, theProbeTakesTheCandidateThatSentStarsTheLowerFirst) {
  struct Row {
    std::string first, second;  // what each candidate holds when accept is pressed
    int tracer;                 // 0: detection failed
  };
  for (const Row& row :
       std::vector<Row>{{"***", "***\x01", 9}, {"****", "****", 3}, {"", "", 0}, {"*#**", "**", 0}}) {
    SCOPED_TRACE(row.first + "|" + row.second);
    reset();
    plug({{3, VCP}, {9, VCP}});
    openAndSearch();
    ASSERT_EQ(setup->error_instrucciones(), kWaitingForStart);
    EXPECT_EQ(probe1.openedCom * 100 + probe2.openedCom, 309);
    EXPECT_EQ(probe1.openedSettings, "57600,N,8,1");
    EXPECT_FALSE(window.isVisible(C::instruccionsBtn));
    setup->instruccionsBtn_Click();  // nothing to explain while waiting for START
    EXPECT_TRUE(steps.empty());
    probe1.feedSilently(row.first);
    probe2.feedSilently(row.second);
    setup->aceptarBtn_Click();
    EXPECT_FALSE(window.isEnabled(C::aceptarBtn));
    EXPECT_FALSE(probe1.isOpen() || probe2.isOpen());
    EXPECT_EQ(state.primera_instalacio, row.tracer ? 10 : 1);
    EXPECT_EQ(setup->error_instrucciones(), row.tracer ? kWaitingForStart : kDetectionFailed);
    EXPECT_EQ(state.comport1, row.tracer ? row.tracer : 3);
    EXPECT_EQ(label(), row.tracer ? "...puerto USB Kovrel en COM" + std::to_string(row.tracer)
                                  : std::string(texts::kDetectionFailed));
    EXPECT_EQ(timer3.active, row.tracer != 0);
  }
}

TEST_F(PortSetupTest, aCandidateThatCannotBeOpenedEndsTheSearchByItsErrorNumber) {
  struct Row {
    int failing;  // which candidate fails to open
    int error;
    int tracer;  // comport1 after
    int primera;
    std::string message;
  };
  const std::vector<Row> rows = {
      {1, kErrPortInUse, 9, 10, "...puerto USB Kovrel en COM9"},
      {2, kErrPortInUse, 3, 10, "...puerto USB Kovrel en COM3"},
      {1, kErrNoSuchPort, 3, 1, std::string(texts::kRestartNeeded)},
      {2, kErrPortOther, 3, 1, std::string(texts::kUnknownError)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    reset();
    plug({{3, VCP}, {9, VCP}});
    (row.failing == 1 ? probe1 : probe2).openError = row.error;
    openAndSearch();
    EXPECT_EQ(state.comport1, row.tracer);
    EXPECT_EQ(state.primera_instalacio, row.primera);
    EXPECT_EQ(label(), row.message);
    EXPECT_EQ(host.exists, row.primera == 10);  // a failed search takes the virtual port away
    timer3.tick();                              // the finishing step lets go of the candidates
    EXPECT_FALSE(probe1.isOpen() || probe2.isOpen());
  }
}

// === Buttons and the finishing step ======================================================================

TEST_F(PortSetupTest, theFinishingStepHandsTheMainWindowBackByTheVerdict) {
  state.comport2 = 4;
  for (Control c : {Control::llegirBtn, Control::cfg_btn, Control::sortirBtn}) main.setEnabled(c, false);
  plug({{7, VCP}});
  openAndSearch();
  timer3.tick();
  EXPECT_EQ(main.text(Control::Text1), texts::kReadyToUse);
  EXPECT_EQ(main.text(Control::port_oma_info_lbl), " COM 1");
  for (Control c : {Control::llegirBtn, Control::cfg_btn, Control::sortirBtn}) EXPECT_TRUE(main.isEnabled(c));
  EXPECT_EQ(steps, std::vector<std::string>{"close"});
  EXPECT_FALSE(timer3.active);

  steps.clear();
  state.primera_instalacio = 1;
  setup->Timer3_Timer();  // not accepted: the read stays locked until the program starts again
  EXPECT_EQ(main.text(Control::Text1), texts::kNotConfigured);
  EXPECT_FALSE(main.isEnabled(Control::llegirBtn) || main.isEnabled(Control::cfg_btn));
  EXPECT_TRUE(main.isEnabled(Control::sortirBtn));
}

TEST_F(PortSetupTest, theButtonsSaveFinishAndExplainInTheOrderOfTheirCode) {
  struct Row {
    std::vector<std::pair<int, PortKind>> listed;
    bool instructions;  // else accept
    std::vector<std::string> steps;
  };
  const std::vector<Row> rows = {
      {{}, false, {"close"}},
      {{}, true, {"save", "close", "instructions 2"}},
      {{{16, VCP}}, true, {"save", "instructions 5", "close"}},
      {{{2, VCP}, {30, VCP}}, true, {"save", "instructions 6", "close"}},
  };
  for (const Row& row : rows) {
    reset();
    plug(row.listed);
    openAndSearch();
    row.instructions ? setup->instruccionsBtn_Click() : setup->aceptarBtn_Click();
    EXPECT_EQ(steps, row.steps);
    EXPECT_EQ(main.text(Control::Text1), texts::kNotConfigured);
  }
}

TEST_F(PortSetupTest, whileTheHostHoldsItsPortTheWindowOnlySaysSo) {
  host.exists = host.hostHolds = true;
  plug({{3, VCP}});
  openAndSearch();
  EXPECT_EQ(label(), texts::kCloseSerialApps);
  EXPECT_EQ(host.calls, std::vector<std::string>{});
  EXPECT_FALSE(timer2.active || timer3.active || buttonsShown());
  EXPECT_EQ(state.primera_instalacio, 1);
}

}  // namespace
}  // namespace kovrel
