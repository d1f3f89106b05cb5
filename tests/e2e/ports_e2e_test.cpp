// A first installation on real lines: two tracer simulators as USB adapters, START on one of
// them; the probe must pick that one, and the exit button save its number.

#include <map>

#include "app/qt_timer.h"
#include "app/startup.h"
#include "e2e_rig.h"
#include "fake_timer.h"
#include "ports/port_texts.h"
#include "ports/ports_flow.h"
#include "ports/puertos_window.h"

namespace kovrel::e2e {
namespace {

class FirstInstallation : public EndToEnd {
 protected:
  void SetUp() override {  // [INST]=1: start-up opens the ports window
    prepare();
    std::string content = settingsBytes();
    content.replace(content.find("[INST]=10"), 9, "[INST]=1");
    std::ofstream(settingsPath(), std::ios::binary) << content;
  }
};

TEST_F(FirstInstallation, findsTheTracerThatGotStartAndSavesItsPort) {
  Sim idle(KOVREL_TRACER_SIM, {"--com", "4"}), tracer(KOVREL_TRACER_SIM, {"--com", "9"});
  std::map<PortsTimer, testing::FakeTimer*> timers;  // the test says when 5 s and 7 s are over
  testing::FakeTimer* request = nullptr;             // and when the request's 6 s are
  startProgram([&](KovrelApp::Options& o) {
    o.askOkCancel = [](std::string_view, std::string_view) { return true; };  // "Desea configurar"
    o.makeTimer = [&request](AppTimer which) -> std::unique_ptr<Timer> {
      if (which != AppTimer::Timer3) return std::make_unique<QtTimer>(intervalMs(which));
      auto timer = std::make_unique<testing::FakeTimer>();
      request = timer.get();
      return timer;
    };
    o.makePortsTimer = [&timers](PortsTimer which) -> std::unique_ptr<Timer> {
      auto timer = std::make_unique<testing::FakeTimer>();
      timers[which] = timer.get();
      return timer;
    };
  });

  // Start-up asked for the set-up; 6 s on, the virtual port is up and the search waits for its 5 s.
  ASSERT_NE(request, nullptr);
  request->tick();
  ASSERT_NE(app_->portsWindow(), nullptr);
  PortsFlow& ports = *app_->portsWindow();
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl),
            "Puerto Série Virtual en " + comName(state().comport2));
  timers.at(PortsTimer::Timer2)->tick();
  ASSERT_EQ(ports.setup().error_instrucciones(), kWaitingForStart)
      << ports.window().text(PortsControl::TextLbl);

  tracer.writeLine("start");
  ASSERT_TRUE(waitUntil([&] { return ports.probe(2).bytesWaiting() > 3; }));
  QTest::mouseClick(ports.window().control(PortsControl::aceptarBtn), Qt::LeftButton);
  EXPECT_EQ(ports.window().text(PortsControl::TextLbl), "...puerto USB Kovrel en COM9");
  timers.at(PortsTimer::Timer3)->tick();
  EXPECT_EQ(text(), texts::kReadyToUse);
  EXPECT_TRUE(app_->window().isEnabled(Control::llegirBtn) && app_->window().isEnabled(Control::cfg_btn));
  EXPECT_FALSE(ports.window().isVisible());

  click(Control::sortirBtn);
  const std::string saved = settingsBytes();
  EXPECT_NE(saved.find("[COMM]=9"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[INST]=10"), std::string::npos) << saved;
}

}  // namespace
}  // namespace kovrel::e2e
