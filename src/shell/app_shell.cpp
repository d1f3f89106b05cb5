#include "shell/app_shell.h"

#include <utility>

#include "base/texts.h"
#include "shell/shell_texts.h"

namespace kovrel {
namespace {

constexpr double kPortsSetUp = 10;   // primera_instalacio: the ports are set up
constexpr double kSetUpPending = 1;  // primera_instalacio: set-up pending, under way or failed

}  // namespace

AppShell::AppShell(SharedState& state, Window& window, VirtualPort& port, Timer& timer3, Hooks hooks)
    : s_(state), w_(window), port_(port), timer3_(timer3), hooks_(std::move(hooks)) {
  timer3_.onTick = [this] { Timer3_Timer(); };
}

void AppShell::cfg_btn_Click() {
  if (!hooks_.askOkCancel || !hooks_.askOkCancel(texts::kConfigureQuestion, texts::kTitleConfiguration))
    return;
  const bool serial = !hooks_.serialLink || hooks_.serialLink();

  bool hostHolds = false;
  try {
    hostHolds = serial && port_.port_obert_host();
  } catch (const VirtualPortError&) {
    hostHolds = false;  // no port, nobody can hold it
  }
  if (hostHolds) {
    w_.messageBox(texts::kHostHoldsPortConfigure, texts::kTitleAttention);
    return;
  }

  // A request that is cancelled later gives the installation state back. Only this request's:
  // a mark left by an earlier one would report a failed set-up as done.
  s_.estaba_configurat = s_.primera_instalacio == kPortsSetUp ? 10 : 0;
  w_.setEnabled(Control::llegirBtn, false);
  w_.setEnabled(Control::cfg_btn, false);
  // The set-up makes the port anew where it can (a pty); a port pair stays and only our end is
  // closed, so no administrator is needed. A port already gone (a first installation never made
  // one) is what this wants.
  if (serial) {
    try {
      port_.eliminar_port();
    } catch (const VirtualPortError&) {
    }
    try {
      port_.tancar_port();
    } catch (const VirtualPortError&) {
    }
  }
  w_.setText(Control::Text1, texts::kConfigurationInProgress);
  timer3_.start();
}

void AppShell::Timer3_Timer() {
  timer3_.stop();
  s_.primera_instalacio = kSetUpPending;
  const std::string version = hooks_.versio_major ? hooks_.versio_major() : std::string();
  if (needsAdministratorNotice(version)) {
    showAdministratorNotice(w_);
  } else if (s_.obre_offset == "no") {
    if (hooks_.showPortsWindow) hooks_.showPortsWindow();
  }
}

void AppShell::hideNotice() {
  w_.setVisible(Control::inicio_adminBtn, false);
  w_.setEnabled(Control::inicio_adminBtn, false);
  w_.setVisible(Control::cancelar_adminBtn, false);
  w_.setVisible(Control::info_vista, false);
  w_.setVisible(Control::Picture1, true);
  w_.setEnabled(Control::sortirBtn, true);
}

void AppShell::inicio_adminBtn_Click() {
  hideNotice();
  if (hooks_.neteja_trac_conf) hooks_.neteja_trac_conf();
  if (s_.obre_offset == "si") {
    if (hooks_.activa_offset) hooks_.activa_offset();
  } else if (hooks_.showPortsWindow) {
    hooks_.showPortsWindow();
  }
}

void AppShell::cancelar_adminBtn_Click() {
  if (s_.estaba_configurat == 10) s_.primera_instalacio = kPortsSetUp;
  hideNotice();
  // The read and CONFIG stay as the request left them, the port released: the notice asked the
  // operator to start the program again.
  w_.setText(Control::Text1, texts::kConfigurationAborted);
}

bool AppShell::configuring() const {
  return timer3_.isActive() || w_.isVisible(Control::info_vista) || s_.primera_instalacio == kSetUpPending;
}

void AppShell::autochk_Click() {
  // In automatic mode the window comes and goes with the host: no port set-up behind its back.
  // Unticked, CONFIG comes back unless a set-up holds it.
  if (w_.isChecked(Control::autochk)) {
    w_.setEnabled(Control::cfg_btn, false);
  } else if (!configuring()) {
    w_.setEnabled(Control::cfg_btn, true);
  }
}

void AppShell::Form_Unload() {
  if (s_.Marxar_sense_tocarres == 1) return;
  if (hooks_.closePortsWindow) hooks_.closePortsWindow();
  if (hooks_.closeConfiguration) hooks_.closeConfiguration();
}

}  // namespace kovrel
