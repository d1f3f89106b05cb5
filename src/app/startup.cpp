#include "app/startup.h"

#include "app/read_command.h"
#include "base/com_name.h"
#include "base/texts.h"

namespace kovrel {
namespace {

// The installation state once the ports have been set up.
constexpr double kPortsSetUp = 10;

}  // namespace

bool Form_Load(SharedState& state, Window& window, Plot& plot, VirtualPort& port, const StartupHooks& hooks) {
  if (hooks.activatePrevInstance && hooks.activatePrevInstance()) return false;

  state.obre_offset = "no";
  const bool setUpPending = hooks.loadSettings ? hooks.loadSettings() : false;
  if (setUpPending) {
    // A first installation: no read until the ports are set up.
    window.setEnabled(Control::llegirBtn, false);
    if (hooks.cfg_btn_Click) hooks.cfg_btn_Click();
  }

  if (state.primera_instalacio == kPortsSetUp && hooks.serialLink) {
    const std::string name = comName(state.comport2);
    try {
      port.obrir_port(name);
      if (!port.port_existeix()) {
        port.crear_port(name);
        port.set_opcio_port(false);
      }
    } catch (const VirtualPortError& e) {
      // The host will not find the port; the operator can still read shapes and set the
      // ports up again, so start-up goes on.
      window.setText(Control::Text1, std::string(texts::kVirtualPortStartFailed) + e.what());
    }
  }

  window.setText(Control::port_oma_info_lbl, " COM " + comName(state.comport2).substr(3));
  window.setEnabled(Control::sortirBtn, true);
  dibuixa_eixos_coordenades(plot);
  setServicePanel(window, false);
  return true;
}

}  // namespace kovrel
