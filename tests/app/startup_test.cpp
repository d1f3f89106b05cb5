#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/texts.h"
#include "fake_plot.h"
#include "fake_virtual_port.h"
#include "fake_window.h"

namespace kovrel {
namespace {

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
                       state.primera_instalacio = installation;
                       state.comport2 = "5";
                       return state.primera_instalacio == 1;
                     },
                     [this] { ++configurationRequests; }};

  bool run() { return Form_Load(state, window, plot, port, hooks); }
};

TEST(Startup, secondCopyHandsOverAndDoesNothingElse) {
  StartupRig rig;
  rig.otherCopyRunning = true;
  EXPECT_FALSE(rig.run());
  EXPECT_TRUE(rig.loads == 0 && rig.port.calls.empty() && rig.plot.lines.empty());
}

// Whatever the installation and the port do, start-up ends with the window ready: exit on, the
// host's port named, empty axes.
TEST(Startup, installationStateDecidesBetweenVirtualPortAndPortSetUp) {
  const struct {
    Dynamic installation;
    bool exists, fails;
    std::vector<std::string> calls;
  } rows[] = {{"10", true, false, {"obrir COM5"}},
              {10, false, false, {"obrir COM5", "crear COM5", "opcio 0"}},
              {10, false, true, {"obrir COM5"}},  // the operator is told, start-up goes on
              {"1", false, false, {}},
              {Dynamic(), false, false, {}}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.installation.toText() + (row.fails ? " failing" : ""));
    StartupRig rig;
    rig.installation = row.installation;
    rig.port.exists = row.exists;
    rig.port.failAll = row.fails;
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
  }
}

}  // namespace
}  // namespace kovrel
