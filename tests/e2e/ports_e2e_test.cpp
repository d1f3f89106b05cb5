// A first installation on real lines: two tracer simulators as USB adapters, START on one of
// them; the probe must pick that one, and the exit button save its number.

#include <QTest>
#include <fstream>
#include <map>
#include <sstream>

#include "app/startup.h"
#include "e2e_rig.h"
#include "ports/port_texts.h"
#include "ports/ports_flow.h"
#include "ports/puertos_window.h"
#include "settings/settings_file.h"

namespace kovrel::e2e {
namespace {

TEST_F(EndToEnd, aFirstInstallationFindsTheTracerThatGotStartAndSavesItsPort) {
  SimProcess idle(KOVREL_TRACER_SIM, {"--com", "4"}), tracer(KOVREL_TRACER_SIM, {"--com", "9"});
  ASSERT_TRUE(idle.waitForOutput("ready:") && tracer.waitForOutput("ready:"))
      << idle.output() << tracer.output();
  std::map<PortsTimer, testing::FakeTimer*> timers;  // the test says when 5 s and 7 s are over
  ProgramOptions options;
  options.firstInstallation = true;
  options.makePortsTimer = [&timers](PortsTimer which) -> std::unique_ptr<Timer> {
    auto timer = std::make_unique<testing::FakeTimer>();
    timers[which] = timer.get();
    return timer;
  };
  startProgram(options);

  // Start-up asked for the set-up: the virtual port is up and the search waits for its 5 s.
  ASSERT_NE(app().portsWindow(), nullptr);
  PortsFlow& ports = *app().portsWindow();
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl),
            "Puerto Série Virtual en " + comName(state().comport2));
  timers.at(PortsTimer::Timer2)->tick();
  ASSERT_EQ(ports.setup().error_instrucciones(), kWaitingForStart)
      << ports.window().text(PortsControl::TextLbl);
  ASSERT_TRUE(ports.window().grab().save(QString(KOVREL_E2E_OUTPUT) + "/ports-window.png"));

  tracer.writeLine("start");
  ASSERT_TRUE(waitUntil([&] { return ports.probe(2).bytesWaiting() > 3; }));
  QTest::mouseClick(ports.window().control(PortsControl::aceptarBtn), Qt::LeftButton);
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl), "...puerto USB Kovrel en COM9");
  timers.at(PortsTimer::Timer3)->tick();
  EXPECT_EQ(text(Control::Text1), texts::kReadyToUse);
  EXPECT_TRUE(enabled(Control::llegirBtn) && enabled(Control::cfg_btn) && !ports.window().isVisible());

  click(Control::sortirBtn);
  std::stringstream saved;
  saved << std::ifstream(programFolder_ / kSettingsFileName).rdbuf();
  EXPECT_NE(saved.str().find("[COMM]=9"), std::string::npos) << saved.str();
  EXPECT_NE(saved.str().find("[INST]=10"), std::string::npos) << saved.str();
}

}  // namespace
}  // namespace kovrel::e2e
