// The configuration request and what follows, Auto, on in-memory parts; a second start's hand-over
// on a fake port; the clean-up of virtualised copies on a scratch drive.

#include "shell/app_shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <tuple>

#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "program_folder.h"
#include "settings/settings_file.h"
#include "shell/second_copy.h"
#include "shell/virtualised_copies.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using enum Control;

class AppShellTest : public ::testing::Test {
 protected:
  AppShellTest() {
    port.exists = true;
    window.setVisible(info_vista, false);  // as the window starts
    state->obre_offset = "no";
    auto note = [this](const char* what) { return [this, what] { events.emplace_back(what); }; };
    auto ask = [this](std::string_view, std::string_view) { return answerOk; };
    auto ver = [this] { return version; };
    hooks = {ask, ver, note("ports"), note("offset"), note("clean-up"), note("close ports"), {}, {}};
    hooks.closeConfiguration = note("close configuration");
    shell = std::make_unique<AppShell>(*state, window, port, timer3, hooks);
  }
  bool buttons(bool on) const { return window.isEnabled(llegirBtn) == on && window.isEnabled(cfg_btn) == on; }
  bool noticeShown() const {
    return window.isVisible(info_vista) && !window.isVisible(Picture1) &&
           window.isEnabled(cancelar_adminBtn) && !window.isEnabled(sortirBtn);
  }

  std::unique_ptr<SharedState> state = std::make_unique<SharedState>();
  testing::FakeWindow window;
  testing::FakeVirtualPort port;
  testing::FakeTimer timer3;
  AppShell::Hooks hooks;
  std::unique_ptr<AppShell> shell;
  bool answerOk = true;
  std::string version = "5";
  Strings events;
};

TEST_F(AppShellTest, requestRefusedOrCancelledChangesNothingElseItRemovesThePortAndOpensThePortsWindowLater) {
  answerOk = false;
  shell->cfg_btn_Click();
  answerOk = true, port.hostHolds = true;
  shell->cfg_btn_Click();
  ASSERT_EQ(window.messageBoxes, (std::vector<std::pair<std::string, std::string>>{
                                     {"aplicación utilitzando el puerto cerrarla primero", "Atenció"}}));
  EXPECT_TRUE(port.calls.empty() && !timer3.active && buttons(true));

  port.hostHolds = false;
  shell->cfg_btn_Click();
  EXPECT_EQ(port.calls, (Strings{"eliminar", "tancar"}));
  EXPECT_TRUE(buttons(false) && window.text(Text1) == "...Configuración en proceso...");
  EXPECT_TRUE(timer3.active && events.empty());  // nothing before the delay
  timer3.tick();
  EXPECT_TRUE(!timer3.active && state->primera_instalacio == 1 && !noticeShown());
  EXPECT_EQ(events, Strings{"ports"});
  // Over TCP or a folder the port pair is not the host's: one the host holds stays as it is.
  port = {}, port.exists = port.hostHolds = true, hooks.serialLink = [] { return false; };
  AppShell(*state, window, port, timer3, hooks).cfg_btn_Click();
  EXPECT_TRUE(port.calls.empty() && port.exists && timer3.active);
}

// Systems from major version 6 on ask for the administrator first; as numbers, 10 is one of them.
TEST_F(AppShellTest, noticeHoldsTheExitUntilCancelGivesTheInstallationStateBackOrContinueGoesOn) {
  for (const auto& [v, installed, afterCancel] :
       {std::tuple{"6", "10", 10}, {"10", "10", 10}, {"6", "1", 1}, {"7", "0", 1}, {"6", "11", 1}}) {
    SCOPED_TRACE(std::string(v) + " " + installed);
    version = v, state->primera_instalacio = installed, window = testing::FakeWindow();
    shell->cfg_btn_Click();
    timer3.tick();
    EXPECT_TRUE(noticeShown() && events.empty());
    shell->cancelar_adminBtn_Click();
    EXPECT_TRUE(state->primera_instalacio == afterCancel && window.text(Text1) == "..Configuración abortada");
    EXPECT_TRUE(window.isVisible(Picture1) && window.isEnabled(sortirBtn) && !window.isVisible(info_vista));
    EXPECT_TRUE(buttons(false));  // as the request left them
  }

  // Continue hides the notice, cleans up, then opens the ports window, or the offset panel it was raised for.
  shell->cfg_btn_Click(), timer3.tick(), shell->inicio_adminBtn_Click();
  state->obre_offset = "si", shell->inicio_adminBtn_Click();
  EXPECT_TRUE(!noticeShown() && events == (Strings{"clean-up", "ports", "clean-up", "offset"}));
}

TEST_F(AppShellTest, autoHoldsConfigWhileTickedAndAClosingMainWindowTakesTheOthersAlong) {
  for (bool afterRequest : {false, true}) {  // a set-up under way keeps CONFIG off when Auto goes
    if (afterRequest) shell->cfg_btn_Click();
    window.setChecked(autochk, true);
    shell->autochk_Click();
    EXPECT_FALSE(window.isEnabled(cfg_btn));
    window.setChecked(autochk, false);
    shell->autochk_Click();
    EXPECT_EQ(window.isEnabled(cfg_btn), !afterRequest);
  }
  shell->Form_Unload();
  EXPECT_EQ(events, (Strings{"close ports", "close configuration"}));
  state->Marxar_sense_tocarres = 1, shell->Form_Unload();  // a second copy's leaving closes nothing
  EXPECT_EQ(events.size(), 2u);
}

TEST(SecondCopy, raisesTheLineOnTheVirtualPortOnlyWhenTheSettingsNameOne) {
  const testing::ProgramFolder folder;
  const std::string good = SettingsFile::defaultFileContent(folder.path());
  const auto with = [&](const std::string& tag, const std::string& value) {
    const std::size_t at = good.find(tag) + tag.size();
    return std::string(good).replace(at, good.find('\r', at) - at, value);
  };
  const std::string why = "Kovrel ya está en marcha y no se pudo mostrar: ",
                    notSetUp = why + "sus puertos no están configurados",
                    bad = why + "el puerto virtual no es válido: ";
  const auto raised = [](const std::string& com) {
    return Strings{"open " + com + " 57600,N,8,1", "dtr 1", "close"};
  };
  // settings file (empty: none), message, calls on the port: only ports set up (10) on COM1 to COM255
  // clang-format off
  for (const auto& [file, message, calls] : {std::tuple{good, std::string(), raised("5")},
           {with("[VSPA]=", "1"), "", raised("1")}, {with("[VSPA]=", "255"), "", raised("255")},
           {"", why + "no se pudo leer trac_conf.cfg", {}}, {with("[INST]=", "1"), notSetUp, {}},
           {with("[INST]=", "0"), notSetUp, {}}, {with("[INST]=", "11"), notSetUp, {}},
           {with("[VSPA]=", "0"), bad + "0", {}}, {with("[VSPA]=", "256"), bad + "256", {}},
           {with("[VSPA]=", "2.5"), bad + "2.5", {}}, {with("[VSPA]=", "COM5"), bad + "COM5", {}}}) {
    // clang-format on
    SCOPED_TRACE(message);
    fs::remove(folder.file());
    if (!file.empty()) folder.write(file);
    auto state = std::make_unique<SharedState>();
    testing::FakeSerialPort port;
    EXPECT_EQ(ActivatePrevInstance(*state, folder.path(), port), message);
    EXPECT_TRUE(port.calls == calls && state->Marxar_sense_tocarres == 1);
    EXPECT_EQ(fs::exists(folder.file()), !file.empty());  // never written
  }
}

const fs::path kStore = fs::path("AppData") / "Local" / "VirtualStore" / "Program Files";

void file(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

TEST(VirtualisedCopies, onlyTheLastFolderOfACompletePathGoesNoLinkIsFollowedAndAHundredUsersAreLookedAt) {
  const fs::path root = fs::temp_directory_path() / "kovrel-virtualstore";
  fs::remove_all(root);
  const fs::path users = root / "Users", outside = root / "elsewhere";  // what links name survives
  file(outside / "Kovrel" / "trac_conf.cfg");
  file(outside / "keep.txt");

  // ana: a full copy with links out of the tree; bea: the path stops one level short; ciro: the
  // user folder links to a tree that holds a full path; eva: a read-only file is not forced.
  const fs::path ana = users / "ana" / kStore / "Kovrel";
  file(ana / "sub" / "trac_conf.cfg");
  fs::create_directory_symlink(outside, ana / "out");
  fs::create_symlink(outside / "keep.txt", ana / "sub" / "keep.txt");
  file(users / "bea" / kStore / "other.txt");
  file(outside / "ciro" / kStore / "Kovrel" / "trac_conf.cfg");
  fs::create_directory_symlink(outside / "ciro", users / "ciro");
  const fs::path eva = users / "eva" / kStore / "Kovrel";
  file(eva / "locked.cfg");
  file(eva / "loose.cfg");
  fs::permissions(eva / "locked.cfg", fs::perms::owner_read | fs::perms::group_read);

  std::ostringstream notes;
  const CleanupReport report = neteja_trac_conf(root, notes);

  EXPECT_TRUE(report.deleted == std::vector<fs::path>{ana} && report.kept == std::vector<fs::path>{eva});
  EXPECT_NE(notes.str().find(eva.string()), std::string::npos) << notes.str();
  EXPECT_TRUE(!fs::exists(fs::symlink_status(ana)) && fs::is_directory(ana.parent_path()));  // not a parent
  for (const fs::path& kept : {users / "bea" / kStore / "other.txt", outside / "keep.txt", eva / "locked.cfg",
                               outside / "Kovrel" / "trac_conf.cfg", outside / "ciro" / kStore / "Kovrel"})
    EXPECT_TRUE(fs::exists(kept)) << kept;
  EXPECT_FALSE(fs::exists(eva / "loose.cfg"));

  fs::remove_all(root);  // a hundred users are all looked at
  for (int user = 1; user <= kMaxUserFolders; ++user)
    fs::create_directories(root / "Users" / std::to_string(user) / kStore / "Kovrel");
  EXPECT_EQ(neteja_trac_conf(root, notes).deleted.size(), 100u);
  fs::remove_all(root);
}

}  // namespace
}  // namespace kovrel
