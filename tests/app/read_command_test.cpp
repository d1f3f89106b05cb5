#include "app/read_command.h"

#include <gtest/gtest.h>

#include <string>

#include "app/texts.h"
#include "fake_plot.h"
#include "fake_serial_port.h"
#include "fake_window.h"

namespace kovrel {
namespace {

struct ReadRig {
  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeSerialPort port;
  Capture capture{state, window, plot, port, {}};
  int configurations = 0;
  int generalOffsets = 0;
  std::string version = "5";
  ReadCommand command{
      state,
      window,
      plot,
      capture,
      {[this] { ++configurations; }, [this] { ++generalOffsets; }, [this] { return version; }}};

  ReadRig() {
    state.comport1 = "3";
    state.midaradi = 60;
    state.radi_central = 8;
    state.tipoMontura = 2;
    setServicePanel(window, false);
    for (Control c : {Control::veri_instrument_txt, Control::inicio_adminBtn, Control::cancelar_adminBtn,
                      Control::info_vista})
      window.setVisible(c, false), window.setEnabled(c, false);
  }
  // The operator double-clicks the box, types `text` and presses the read button.
  void type(const std::string& text) {
    command.Text1_DblClick();
    EXPECT_TRUE(window.text(Control::Text1).empty() && window.passwordMode(Control::Text1));
    window.setText(Control::Text1, text);
    command.llegirBtn_Click();
  }
  bool readStarted() const { return state.esticCapturant == 1 && port.isOpen(); }
  bool shown(Control c) const { return window.isVisible(c) && window.isEnabled(c); }
  void expectCodeTaken() const {
    EXPECT_FALSE(readStarted());
    EXPECT_EQ(window.text(Control::Text1), "");
    EXPECT_FALSE(window.passwordMode(Control::Text1));
    EXPECT_EQ(state.tipoMontura, 0);
  }
};

TEST(AccessCodes, servicePanelCodeOpensAndClosesThePanel) {
  ReadRig rig;
  rig.type("R3M58T21");
  rig.expectCodeTaken();
  EXPECT_EQ(rig.window.heightTwips(Control::Form1), kFormHeightOpen);
  for (Control c : kServicePanel) EXPECT_TRUE(rig.shown(c)) << objectName(c);
  rig.window.setHeightTwips(Control::Form1, 7000);  // any height but the closed one is open
  rig.type("R3M58T21");
  EXPECT_EQ(rig.window.heightTwips(Control::Form1), kFormHeightClosed);
  for (Control c : kServicePanel)
    EXPECT_FALSE(rig.window.isVisible(c) || rig.window.isEnabled(c)) << objectName(c);
}

TEST(AccessCodes, configurationAndGeneralOffsetCodesOpenTheirWindows) {
  ReadRig configuration;
  configuration.type("nwx");
  configuration.expectCodeTaken();
  EXPECT_EQ(configuration.configurations, 1);

  ReadRig older;  // an older system opens the general-offset panel directly
  older.type("vexil");
  older.expectCodeTaken();
  EXPECT_EQ(older.generalOffsets, 1);
  EXPECT_EQ(older.state.obre_offset, "si");
  EXPECT_TRUE(older.window.isVisible(Control::Picture1));
  EXPECT_FALSE(older.window.isVisible(Control::inicio_adminBtn));

  ReadRig newer;  // a newer one asks for the administrator first
  newer.version = "6";
  newer.type("vexil");
  newer.expectCodeTaken();
  EXPECT_EQ(newer.generalOffsets, 0);
  EXPECT_EQ(newer.state.obre_offset, "si");
  EXPECT_FALSE(newer.window.isVisible(Control::Picture1) || newer.window.isEnabled(Control::sortirBtn));
  EXPECT_TRUE(newer.shown(Control::inicio_adminBtn) && newer.shown(Control::cancelar_adminBtn));
  EXPECT_TRUE(newer.window.isVisible(Control::info_vista));
}

TEST(AccessCodes, anythingButAnExactCodeStartsARead) {
  for (const char* text :
       {"R3M58T21 ", "r3m58t21", " nwx", "VEXIL", "", "fin lectura > modificar o enviar"}) {
    SCOPED_TRACE(text);
    ReadRig rig;
    rig.type(text);
    EXPECT_TRUE(rig.readStarted());
    EXPECT_EQ(rig.window.heightTwips(Control::Form1), kFormHeightClosed);
    EXPECT_EQ(rig.configurations + rig.generalOffsets, 0);
  }
}

TEST(ReadCommand, readStartsFromACleanSlate) {
  ReadRig rig;
  rig.state.ja_Enviat = 1;
  rig.window.setPasswordMode(Control::Text1, true);
  rig.window.setForeColor(Control::Text1, kRed);
  rig.window.setText(Control::Text1, texts::kReadFinished);
  rig.plot.point(50, 50, 1);
  rig.command.llegirBtn_Click();
  EXPECT_TRUE(rig.readStarted());
  EXPECT_EQ(rig.state.ja_Enviat, 0);
  EXPECT_EQ(rig.state.tipoMontura, 0);
  EXPECT_FALSE(rig.window.passwordMode(Control::Text1));
  EXPECT_EQ(rig.window.foreColor(Control::Text1), kBlack);
  EXPECT_TRUE(rig.plot.dots.empty() && !rig.plot.lines.empty());
  EXPECT_EQ(rig.window.text(Control::Text1), texts::kPressStart);
  EXPECT_FALSE(rig.window.isVisible(Control::veri_instrument_txt));

  ReadRig calibration;
  calibration.state.estic_calibrant = 1;
  calibration.command.llegirBtn_Click();
  EXPECT_TRUE(calibration.window.isVisible(Control::veri_instrument_txt));
}

}  // namespace
}  // namespace kovrel
