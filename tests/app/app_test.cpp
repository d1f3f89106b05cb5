#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/read_command.h"
#include "app/startup.h"
#include "base/dynamic.h"
#include "base/texts.h"
#include "fake_plot.h"
#include "fake_serial_port.h"
#include "fake_virtual_port.h"
#include "fake_window.h"

namespace kovrel {
namespace {

struct ReadRig {
  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeSerialPort port;
  Capture capture{state, window, plot, port, {}};
  int configurations = 0, generalOffsets = 0;
  std::string version = "5";
  ReadCommand::Hooks hooks{
      [this] { ++configurations; }, [this] { ++generalOffsets; }, [this] { return version; }, {}};
  ReadCommand command{state, window, plot, capture, hooks};

  ReadRig() {
    state.comport1 = "3", state.midaradi = 60, state.radi_central = 8, state.tipoMontura = 2;
    setServicePanel(window, false);
    for (Control c : {Control::inicio_adminBtn, Control::cancelar_adminBtn, Control::info_vista})
      window.setVisible(c, false), window.setEnabled(c, false);
  }
  // The operator double-clicks the box, types `text` and presses the read button.
  void type(const std::string& text) {
    window.setText(Control::Text1, texts::kReadFinished), command.Text1_DblClick();  // typed over it
    EXPECT_TRUE(window.text(Control::Text1).empty() && window.passwordMode(Control::Text1));
    window.setText(Control::Text1, text), command.llegirBtn_Click();
    if (readStarted()) return;
    EXPECT_TRUE(window.text(Control::Text1).empty() && !window.passwordMode(Control::Text1));  // a code taken
  }
  bool readStarted() const { return state.esticCapturant == 1 && port.isOpen(); }
  bool shown(Control c) const { return window.isVisible(c) && window.isEnabled(c); }
};

TEST(AccessCodes, eachExactCodeOpensItsWindowAnythingElseStartsAReadFromACleanSlate) {
  ReadRig panel;
  panel.type("R3M58T21");
  EXPECT_EQ(panel.window.heightTwips(Control::Form1), kFormHeightOpen);
  for (Control c : kServicePanel) EXPECT_TRUE(panel.shown(c)) << objectName(c);
  panel.window.setHeightTwips(Control::Form1, 7000);  // any height but the closed one is open
  panel.type("R3M58T21");
  EXPECT_EQ(panel.window.heightTwips(Control::Form1), kFormHeightClosed);
  for (Control c : kServicePanel) EXPECT_FALSE(panel.window.isVisible(c) || panel.window.isEnabled(c));

  ReadRig configuration;
  configuration.type("nwx");
  EXPECT_EQ(configuration.configurations, 1);

  // Systems from major version 6 on ask for the administrator first; older or unknown ones open
  // the general-offset panel directly.
  const std::pair<const char*, bool> versions[] = {{"", false}, {"1", false}, {"5", false}, {"6", true},
                                                   {"7", true}, {"10", true}, {"x6", false}};
  for (const auto& [version, asks] : versions) {
    SCOPED_TRACE(version);
    ReadRig rig;
    rig.version = version, rig.type("vexil");
    EXPECT_TRUE(rig.generalOffsets == (asks ? 0 : 1) && rig.state.obre_offset == "si");
    EXPECT_EQ(rig.window.isVisible(Control::Picture1) && rig.window.isEnabled(Control::sortirBtn), !asks);
    EXPECT_EQ(rig.shown(Control::inicio_adminBtn) && rig.shown(Control::cancelar_adminBtn), asks);
  }

  // A code with one character more, less or changed at either end is an ordinary read.
  for (const char* text :
       {"R3M58T21 ", "xR3M58T21", "R3M58T2", "3M58T21", "r3m58t21", " nwx", "nwxx", "nw", "wx", "NWX",
        " vexil", "vexil ", "vexi", "exil", "VEXIL", "", "fin lectura > modificar o enviar"}) {
    ReadRig rig;
    rig.type(text);
    EXPECT_TRUE(rig.readStarted()) << text;
    EXPECT_EQ(rig.configurations + rig.generalOffsets, 0) << text;
  }
  ReadRig rig;
  rig.state.ja_Enviat = 1, rig.window.setPasswordMode(Control::Text1, true);
  rig.window.setForeColor(Control::Text1, kRed), rig.plot.point(50, 50, 1);
  rig.command.llegirBtn_Click();
  EXPECT_TRUE(rig.readStarted() && rig.state.ja_Enviat == 0 && rig.state.tipoMontura == 0);
  EXPECT_TRUE(!rig.window.passwordMode(Control::Text1) && rig.window.foreColor(Control::Text1) == kBlack);
  EXPECT_TRUE(rig.plot.dots.empty() && !rig.plot.lines.empty());
  EXPECT_EQ(rig.window.text(Control::Text1), texts::kPressStart);

  for (int calibrating : {0, 1}) {  // a centre calibration brings its notice back with each read
    ReadRig centre;
    centre.state.estic_calibrant = calibrating, centre.window.setVisible(Control::veri_instrument_txt, false);
    centre.command.llegirBtn_Click();
    EXPECT_EQ(centre.window.isVisible(Control::veri_instrument_txt), calibrating == 1);
  }
}

struct StartupRig {
  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeVirtualPort port;
  bool otherCopyRunning = false;
  int loads = 0, configurationRequests = 0;
  Dynamic installation = "10";  // as the settings file holds it

  StartupHooks hooks{[this] { return otherCopyRunning; },
                     [this] {
                       ++loads;
                       state.primera_instalacio = installation, state.comport2 = "5";
                       return state.primera_instalacio == 1;
                     },
                     [this] { ++configurationRequests; }};

  bool run() { return Form_Load(state, window, plot, port, hooks); }
};

// Whatever the installation and the port do, start-up ends ready: exit on, port named, empty axes.
TEST(Startup, installationStateDecidesBetweenVirtualPortAndPortSetUp) {
  const struct {
    Dynamic installation;
    bool exists, fails;
    std::vector<std::string> calls;
    // clang-format off
  } rows[] = {{"10", true, false, {"obrir COM5"}}, {10, false, false, {"obrir COM5", "crear COM5", "opcio 0"}},
              {10, false, true, {"obrir COM5"}},  // the operator is told, start-up goes on
              {"1", false, false, {}}, {Dynamic(), false, false, {}}, {0, false, false, {}}, {"9", false, false, {}},
              {11, false, false, {}}, {"10.5", false, false, {}}};
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.installation.toText() + (row.fails ? " failing" : ""));
    StartupRig rig;
    rig.installation = row.installation, rig.port.exists = row.exists, rig.port.failAll = row.fails;
    rig.window.setEnabled(Control::sortirBtn, false);
    EXPECT_TRUE(rig.run());
    EXPECT_EQ(rig.port.calls, row.calls);
    EXPECT_EQ(rig.window.text(Control::Text1),
              row.fails ? std::string(texts::kVirtualPortStartFailed) + "virtual port gone" : "");
    // A first installation hands over to port set-up, with no read until it is done.
    EXPECT_EQ(rig.configurationRequests, row.installation == 1 ? 1 : 0);
    EXPECT_EQ(rig.window.isEnabled(Control::llegirBtn), !(row.installation == 1));
    EXPECT_TRUE(rig.window.isEnabled(Control::sortirBtn) && rig.state.obre_offset == "no");
    EXPECT_EQ(rig.window.text(Control::port_oma_info_lbl), " COM 5");
    EXPECT_TRUE(rig.plot.dots.empty() && !rig.plot.lines.empty());
    for (Control c : kServicePanel) EXPECT_FALSE(rig.window.isVisible(c) || rig.window.isEnabled(c));
  }
  StartupRig second;  // a second copy hands over to the first and does nothing of its own
  second.otherCopyRunning = true;
  EXPECT_FALSE(second.run());
  EXPECT_TRUE(second.loads == 0 && second.port.calls.empty() &&
              second.window.text(Control::port_oma_info_lbl).empty());
}

}  // namespace
}  // namespace kovrel
