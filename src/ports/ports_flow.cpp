#include "ports/ports_flow.h"

#include "base/qt_timer.h"
#include "ports/guidance.h"
#include "ports/instruccions_window.h"
#include "ports/puertos_window.h"

namespace kovrel {

PortsFlow::PortsFlow(Parts parts) : parts_(std::move(parts)) {
  window_ = std::make_unique<PuertosWindow>(parts_.mainWidget);
  probe1_ = parts_.makeSerialPort();
  probe2_ = parts_.makeSerialPort();
  auto make = [this](PortsTimer which) -> std::unique_ptr<Timer> {
    if (parts_.makeTimer) return parts_.makeTimer(which);
    return std::make_unique<QtTimer>(intervalMs(which));
  };
  timer2_ = make(PortsTimer::Timer2);
  timer3_ = make(PortsTimer::Timer3);

  PortSetup::Parts setupParts{parts_.state, parts_.main, *window_, parts_.virtualPort, *probe1_,
                              *probe2_,     *timer2_,    *timer3_, parts_.listing,     parts_.otherLinkLabel};
  PortSetup::Hooks hooks{parts_.saveSettings, [this](int code) { instructions(code); },
                         [this] { window_->hide(); }};
  setup_ = std::make_unique<PortSetup>(std::move(setupParts), std::move(hooks));

  window_->onClick = [this](PortsControl c) {
    if (c == PortsControl::aceptarBtn) setup_->aceptarBtn_Click();
    if (c == PortsControl::instruccionsBtn) setup_->instruccionsBtn_Click();
  };
  window_->onClose = [this] { setup_->closedByOperator(); };
}

PortsFlow::~PortsFlow() {
  window_->onClick = nullptr;
  window_->onClose = nullptr;
  setup_.reset();  // stops the timers and closes the probe's ports before they go
}

void PortsFlow::open() {
  window_->show();
  window_->raise();
  setup_->Form_Load();
}

void PortsFlow::instructions(int code) {
  // The instructions take the ports window's place.
  window_->hide();
  if (showInstructions) {
    showInstructions(code);
    return;
  }
  InstruccionsWindow dialog(code, parts_.mainWidget);
  Window& main = parts_.main;
  dialog.onAccept = [&main] { aceptar_instruccionsBtn_Click(main); };
  dialog.exec();
}

}  // namespace kovrel
