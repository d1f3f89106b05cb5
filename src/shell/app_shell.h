#pragma once
// What surrounds the scanner work on the main window: the operator's request to set the ports
// up again (CONFIG), its delayed continuation with the administrator notice, the Auto check box's
// hold on CONFIG, and the closing of the other windows when the main window goes.

#include <functional>
#include <string>
#include <string_view>

#include "base/shared_state.h"
#include "base/timer.h"
#include "base/window.h"
#include "host/virtual_port.h"
#include "shell/admin_notice.h"

namespace kovrel {

class AppShell {
 public:
  struct Hooks {
    // A modal question with OK and Cancel and the information icon; true for OK.
    std::function<bool(std::string_view text, std::string_view title)> askOkCancel;
    // obte_versio: the system's major version as text ("5", "6", "10").
    std::function<std::string()> versio_major;
    std::function<void()> showPortsWindow;   // Puertos, not modal
    std::function<void()> activa_offset;     // the general-offset panel
    std::function<void()> neteja_trac_conf;  // clean-up of virtualised program folders
    std::function<void()> closePortsWindow;
    std::function<void()> closeConfiguration;
    // False while a TCP or folder link carries the sends: CONFIG leaves the port pair alone.
    std::function<bool()> serialLink;
  };

  // `timer3` is the one-shot 6-second delay between the request and its continuation.
  AppShell(SharedState& state, Window& window, VirtualPort& port, Timer& timer3, Hooks hooks);

  void cfg_btn_Click();
  void Timer3_Timer();
  void inicio_adminBtn_Click();
  void cancelar_adminBtn_Click();
  void autochk_Click();
  // The main window is going: the other windows go with it, unless this copy leaves untouched.
  void Form_Unload();

 private:
  void hideNotice();
  bool configuring() const;

  SharedState& s_;
  Window& w_;
  VirtualPort& port_;
  Timer& timer3_;
  Hooks hooks_;
};

}  // namespace kovrel
