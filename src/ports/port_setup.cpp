// The ports window's side of the set-up: opening, its two timers, its buttons and the finishing
// step. The searches themselves are in port_search.cpp.
#include "ports/port_setup.h"

#include "base/com_name.h"
#include "ports/port_texts.h"

namespace kovrel {

int intervalMs(PortsTimer timer) { return timer == PortsTimer::Timer2 ? 5000 : 7000; }

PortSetup::PortSetup(Parts parts, Hooks hooks) : p_(std::move(parts)), hooks_(std::move(hooks)) {
  // The window opens with its buttons and wait label hidden and both timers off.
  for (PortsControl c : {PortsControl::espereLbl, PortsControl::aceptarBtn, PortsControl::instruccionsBtn})
    p_.window.setVisible(c, false);
  p_.Timer2.stop();
  p_.Timer3.stop();
  p_.Timer2.onTick = [this] { Timer2_Timer(); };
  p_.Timer3.onTick = [this] { Timer3_Timer(); };
}

PortSetup::~PortSetup() {
  p_.Timer2.stop();
  p_.Timer3.stop();
  p_.Timer2.onTick = nullptr;
  p_.Timer3.onTick = nullptr;
  closeProbePorts();
}

void PortSetup::Form_Load() {
  if (!otherLinkLabel().empty()) {
    // The host is reached over the network or a folder: the port pair is left as it is.
    if (!(p_.state.primera_instalacio == 1)) return;
    USB_serial_detection();
    return;
  }
  bool hostHolds = false;
  try {
    hostHolds = p_.virtualPort.port_obert_host();
  } catch (const VirtualPortError&) {
    hostHolds = false;  // no port, nobody holds it
  }
  if (hostHolds) {
    // Renumbering the port under the host's feet would cut it off in the middle of its work.
    p_.window.setText(PortsControl::TextLbl, texts::kCloseSerialApps);
    return;
  }
  if (!(p_.state.primera_instalacio == 1)) return;

  p_.window.setText(PortsControl::TextLbl, texts::kRemovingVirtualPort);
  p_.window.setVisible(PortsControl::espereLbl, true);
  const Dynamic previous = p_.state.comport2;
  registre_port_virtual();
  if (!noportslliures_.empty()) {
    p_.window.setText(PortsControl::TextLbl, noportslliures_);
    error_instrucciones_ = kNoFreeVirtualPort;
    showButtons();
    return;
  }
  // The settings keep the old number until the port stands under the new one.
  const int chosen = static_cast<int>(p_.state.comport2.toNumber());
  p_.state.comport2 = previous;
  const std::weak_ptr<bool> alive = alive_;
  p_.virtualPort.createPort(comName(chosen), [this, alive, chosen, previous](const auto& failure) {
    if (!alive.expired()) virtualPortMade(chosen, previous, failure);
  });
}

void PortSetup::virtualPortMade(int chosen, const Dynamic& previous,
                                std::optional<VirtualPortError> failure) {
  const std::string name = comName(chosen);
  if (finished_) {
    // The technician closed the window before the consent came: the port stands where it was
    // made, and the set-up goes no further.
    if (!failure) p_.state.comport2 = chosen;
    return;
  }
  if (!failure) {
    try {
      p_.virtualPort.set_opcio_port(false);
      p_.virtualPort.obrir_port(name);
      p_.state.comport2 = chosen;
      p_.window.setText(PortsControl::TextLbl, std::string(texts::kVirtualPortAt) + name);
      p_.Timer2.start();
      return;
    } catch (const VirtualPortError& e) {
      failure = e;
    }
  }
  p_.window.setText(PortsControl::TextLbl, failure->what());
  p_.window.setVisible(PortsControl::espereLbl, false);
  showButtons();
  if (!failure->administrator()) {
    // A name the system will not give us is, for the technician, a COM number that is not free.
    error_instrucciones_ = kNoFreeVirtualPort;
    p_.state.primera_instalacio = 1;
    return;
  }
  // Refused or impossible without an administrator: nothing changed. A port that was set up
  // stays where it was, the host's as before, and so does the installation state.
  error_instrucciones_ = kVirtualPortNeedsAdministrator;
  if (!(p_.state.estaba_configurat == 10)) return;
  p_.state.primera_instalacio = 10;
  try {
    p_.virtualPort.obrir_port(comName(previous));
  } catch (const VirtualPortError&) {
  }
}

void PortSetup::Timer2_Timer() {
  p_.Timer2.stop();
  USB_serial_detection();
}

void PortSetup::USB_serial_detection() {
  p_.window.setVisible(PortsControl::espereLbl, true);
  registre_port_USB();
}

void PortSetup::aceptarBtn_Click() {
  if (error_instrucciones_ == kWaitingForStart) {
    p_.window.setEnabled(PortsControl::aceptarBtn, false);
    Timer1_Timer();
  } else if (error_instrucciones_ >= kNoTracerPort &&
             error_instrucciones_ <= kVirtualPortNeedsAdministrator) {
    Timer3_Timer();
  }
}

void PortSetup::instruccionsBtn_Click() {
  const int code = error_instrucciones_;
  if (code < kNoTracerPort || code > kVirtualPortNeedsAdministrator) return;
  if (hooks_.saveSettings) hooks_.saveSettings();
  if (code <= kNoFreeVirtualPort || code == kVirtualPortNeedsAdministrator) {
    Timer3_Timer();
    if (hooks_.showInstructions) hooks_.showInstructions(code);
  } else {
    if (hooks_.showInstructions) hooks_.showInstructions(code);
    Timer3_Timer();
  }
}

void PortSetup::Timer3_Timer() {
  p_.Timer3.stop();
  p_.Timer2.stop();
  finished_ = true;
  Window& w = p_.main;
  const std::string other = otherLinkLabel();
  w.setEnabled(Control::sortirBtn, true);
  w.setText(Control::port_oma_info_lbl,
            other.empty() ? " COM " + comName(p_.state.comport2).substr(3) : other);
  w.setEnabled(Control::cfg_btn, true);
  w.setEnabled(Control::llegirBtn, true);
  w.setText(Control::Text1, other.empty() ? std::string(texts::kReadyToUse) +
                                                std::string(texts::kHostMustUse) + comName(p_.state.comport2)
                                          : std::string(texts::kReadyToUse));
  if (p_.state.primera_instalacio == 1) {
    w.setText(Control::Text1, texts::kNotConfigured);
    w.setEnabled(Control::llegirBtn, false);
    w.setEnabled(Control::cfg_btn, false);
  }
  closeProbePorts();
  if (hooks_.closeWindows) hooks_.closeWindows();
}

void PortSetup::closedByOperator() {
  if (!finished_) Timer3_Timer();
}

void PortSetup::showButtons() {
  p_.window.setVisible(PortsControl::aceptarBtn, true);
  p_.window.setVisible(PortsControl::instruccionsBtn, true);
}

}  // namespace kovrel
