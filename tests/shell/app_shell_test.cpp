// The configuration request, its continuation after 6 s, the administrator notice and the Auto
// check box on an in-memory window, port and timer; the hand-over of a second start on a fake
// serial port and a scratch settings file.

#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "settings/settings_file.h"
#include "shell/second_copy.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using enum Control;

class AppShellTest : public ::testing::Test {
 protected:
  AppShellTest() {
    port.exists = port.opened = true;
    window.setVisible(info_vista, false);  // as the window starts
    state.primera_instalacio = "10";       // as the loader stores it
    state.obre_offset = "no";
    hooks.askOkCancel = [this](std::string_view text, std::string_view title) {
      asked.emplace_back(text, title);
      return answerOk;
    };
    hooks.versio_major = [this] { return version; };
    hooks.showPortsWindow = [this] { events.emplace_back("ports"); };
    hooks.activa_offset = [this] { events.emplace_back("offset"); };
    hooks.neteja_trac_conf = [this] { events.emplace_back("clean-up"); };
    hooks.closePortsWindow = [this] { events.emplace_back("close ports"); };
    hooks.closeConfiguration = [this] { events.emplace_back("close configuration"); };
  }
  AppShell& shell() {
    if (!shell_) shell_ = std::make_unique<AppShell>(*state_, window, port, timer3, hooks);
    return *shell_;
  }
  // The request answered OK, then the 6 seconds.
  void requestAndWait() {
    shell().cfg_btn_Click();
    timer3.tick();
  }
  bool noticeShown() const {
    return window.isVisible(info_vista) && !window.isVisible(Picture1) && window.isVisible(inicio_adminBtn) &&
           window.isEnabled(inicio_adminBtn) && window.isVisible(cancelar_adminBtn) &&
           window.isEnabled(cancelar_adminBtn) && !window.isEnabled(sortirBtn);
  }

  std::unique_ptr<SharedState> state_ = std::make_unique<SharedState>();
  SharedState& state = *state_;
  testing::FakeWindow window;
  testing::FakeVirtualPort port;
  testing::FakeTimer timer3;
  AppShell::Hooks hooks;
  std::unique_ptr<AppShell> shell_;
  bool answerOk = true;
  std::string version = "5";
  std::vector<std::pair<std::string, std::string>> asked;
  std::vector<std::string> events;
};

TEST_F(AppShellTest, requestRemovesThePortThenAfterSixSecondsOpensThePortsWindowOnOlderSystems) {
  shell().cfg_btn_Click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0],
            std::make_pair(std::string("Desea configurar\rpuertos Kovrel ?"), std::string("Configuracón")));
  EXPECT_EQ(port.calls, (std::vector<std::string>{"eliminar", "tancar"}));
  EXPECT_FALSE(window.isEnabled(llegirBtn) || window.isEnabled(cfg_btn));
  EXPECT_EQ(window.text(Text1), "...Configuración en proceso...");
  EXPECT_TRUE(timer3.active);
  EXPECT_TRUE(events.empty());  // nothing before the delay

  timer3.tick();
  EXPECT_FALSE(timer3.active);
  EXPECT_TRUE(state.primera_instalacio == 1);
  EXPECT_EQ(events, (std::vector<std::string>{"ports"}));
  EXPECT_FALSE(noticeShown());
  EXPECT_TRUE(window.messageBoxes.empty());
}

TEST_F(AppShellTest, cancelledQuestionOrAHostHoldingThePortChangesNothing) {
  answerOk = false;
  shell().cfg_btn_Click();
  answerOk = true;
  port.hostHolds = true;
  shell().cfg_btn_Click();
  ASSERT_EQ(window.messageBoxes.size(), 1u);
  EXPECT_EQ(window.messageBoxes[0],
            std::make_pair(std::string("aplicación utilitzando el puerto cerrarla primero"),
                           std::string("Atenció")));
  EXPECT_TRUE(port.calls.empty());
  EXPECT_FALSE(timer3.active);
  EXPECT_TRUE(window.isEnabled(llegirBtn) && window.isEnabled(cfg_btn));
  EXPECT_TRUE(state.estaba_configurat == 0);
}

// Systems from major version 6 on ask for the administrator first; compared as numbers, 10 too.
TEST_F(AppShellTest, noticeOnNewerSystemsHoldsTheExitUntilContinueOrCancel) {
  for (const char* v : {"6", "10"}) {
    SCOPED_TRACE(v);
    version = v;
    events.clear();
    window = testing::FakeWindow();
    state.primera_instalacio = 10;
    requestAndWait();
    EXPECT_TRUE(noticeShown());
    EXPECT_TRUE(events.empty());

    shell().cancelar_adminBtn_Click();  // the ports were set up: that state comes back
    EXPECT_TRUE(state.primera_instalacio == 10);
    EXPECT_EQ(window.text(Text1), "..Configuración abortada");
    EXPECT_TRUE(window.isVisible(Picture1) && window.isEnabled(sortirBtn));
    EXPECT_FALSE(window.isVisible(info_vista) || window.isVisible(inicio_adminBtn) ||
                 window.isVisible(cancelar_adminBtn) || window.isEnabled(inicio_adminBtn));
    EXPECT_FALSE(window.isEnabled(llegirBtn) || window.isEnabled(cfg_btn));  // as the request left them
  }
  EXPECT_TRUE(needsAdministratorNotice("6") && needsAdministratorNotice("10"));
  EXPECT_FALSE(needsAdministratorNotice("5") || needsAdministratorNotice("") ||
               needsAdministratorNotice("x"));

  // Continue cleans up, then opens the ports window, or the offset panel it was raised for.
  shell().inicio_adminBtn_Click();
  state.obre_offset = "si";
  shell().inicio_adminBtn_Click();
  EXPECT_EQ(events, (std::vector<std::string>{"clean-up", "ports", "clean-up", "offset"}));
}

TEST_F(AppShellTest, cancelAfterAFirstInstallationKeepsThePortsPending) {
  state.primera_instalacio = "1";
  version = "6";
  requestAndWait();
  shell().cancelar_adminBtn_Click();
  EXPECT_TRUE(state.primera_instalacio == 1);
}

TEST_F(AppShellTest, autoHoldsConfigWhileTickedAndAClosingMainWindowTakesTheOthersAlong) {
  window.setChecked(autochk, true);
  shell().autochk_Click();
  EXPECT_FALSE(window.isEnabled(cfg_btn));
  window.setChecked(autochk, false);
  shell().autochk_Click();
  EXPECT_TRUE(window.isEnabled(cfg_btn));

  shell().cfg_btn_Click();  // a request under way keeps CONFIG off when Auto is unticked
  window.setChecked(autochk, true);
  shell().autochk_Click();
  window.setChecked(autochk, false);
  shell().autochk_Click();
  EXPECT_FALSE(window.isEnabled(cfg_btn));

  shell().Form_Unload();
  state.Marxar_sense_tocarres = 1;
  shell().Form_Unload();
  EXPECT_EQ(events, (std::vector<std::string>{"close ports", "close configuration"}));
}

// === A second start ======================================================================================

TEST(SecondCopy, raisesTheLineOnTheVirtualPortOnlyWhenTheSettingsNameOne) {
  const fs::path folder = fs::temp_directory_path() / "kovrel-second-copy";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string good = SettingsFile::defaultFileContent(folder);
  struct Case {
    std::string file;  // empty: no settings file
    int openError;
    std::string message;
    std::vector<std::string> calls;
  };
  std::string notSetUp = good, badPort = good;
  notSetUp.replace(notSetUp.find("[INST]=10"), 9, "[INST]=1");
  badPort.replace(badPort.find("[VSPA]=5"), 8, "[VSPA]=x");
  const std::string prefix = "Kovrel ya está en marcha y no se pudo mostrar: ";
  const Case cases[] = {
      {good, 0, "", {"open 5 57600,N,8,1", "dtr 1", "close"}},
      {good, kErrNoSuchPort, prefix + "no se pudo abrir COM5", {"open 5 57600,N,8,1"}},
      {"", 0, prefix + "no se pudo leer trac_conf.cfg", {}},
      {notSetUp, 0, prefix + "sus puertos no están configurados", {}},
      {badPort, 0, prefix + "el puerto virtual no es válido: x", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    fs::remove(folder / kSettingsFileName);
    if (!c.file.empty()) std::ofstream(folder / kSettingsFileName, std::ios::binary) << c.file;
    auto state = std::make_unique<SharedState>();
    testing::FakeSerialPort port;
    port.openError = c.openError;
    EXPECT_EQ(ActivatePrevInstance(*state, folder, port), c.message);
    EXPECT_EQ(port.calls, c.calls);
    EXPECT_TRUE(state->Marxar_sense_tocarres == 1);
    EXPECT_EQ(fs::exists(folder / kSettingsFileName), !c.file.empty());  // never written
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace kovrel
