#pragma once
// Start-up of the main window (Form_Load): settings, the virtual port towards the host, the
// empty plot, the service panel hidden.

#include <functional>
#include <string>

#include "base/shared_state.h"
#include "base/window.h"
#include "host/virtual_port.h"
#include "scanner/plot.h"

namespace kovrel {

struct StartupHooks {
  // Another copy is running: hand over to it and stop here (returns true when it did).
  std::function<bool()> activatePrevInstance;
  // carrega_dades: loads the settings into the state; returns true when the installation
  // state asks for port set-up (the caller's cfg_btn_Click is then started).
  std::function<bool()> loadSettings;
  // Port configuration request (cfg_btn_Click), started when set-up is pending.
  std::function<void()> cfg_btn_Click;
  // The virtual serial port is the host's link: start-up makes it. A TCP or folder link has no
  // port to make.
  bool serialLink = true;
};

// Runs start-up. Returns false when start-up handed over to a running copy. A failure of the
// virtual port is reported to the operator in the information box, never thrown.
bool Form_Load(SharedState& state, Window& window, Plot& plot, VirtualPort& port, const StartupHooks& hooks);

}  // namespace kovrel
