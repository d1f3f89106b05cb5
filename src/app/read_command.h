#pragma once
// The read button and the information box: an ordinary text starts a read; an access code
// typed after a double click opens a hidden function instead.

#include <functional>

#include "base/shared_state.h"
#include "base/window.h"
#include "scanner/capture.h"
#include "scanner/plot.h"

namespace kovrel {

inline constexpr std::string_view kCodeServicePanel = "R3M58T21";
inline constexpr std::string_view kCodeConfiguration = "nwx";
inline constexpr std::string_view kCodeGeneralOffset = "vexil";

class ReadCommand {
 public:
  struct Hooks {
    std::function<void()> showConfiguration;  // nwx: the configuration window, not modal
    std::function<void()> activa_offset;      // vexil on an older system: general-offset panel
    // vexil on a newer system shows the administrator notice; the version text decides.
    std::function<std::string()> versio_major;
    // An ordinary text: a read is about to take the tracer's port (the encoder monitor lets go).
    std::function<void()> beforeRead;
  };

  ReadCommand(SharedState& state, Window& window, Plot& plot, Capture& capture, Hooks hooks);

  void Text1_DblClick();
  void llegirBtn_Click();
  void noMidesChk_Click() {}  // the tick is read by the send; clicking changes nothing else

 private:
  void toggleServicePanel();

  SharedState& s_;
  Window& w_;
  Plot& plot_;
  Capture& capture_;
  Hooks hooks_;
};

// Shows (and enables) or hides (and disables) every service panel control, in order.
void setServicePanel(Window& window, bool open);

}  // namespace kovrel
