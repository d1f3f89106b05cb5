#include "app/read_command.h"

#include <string>
#include <utility>

#include "shell/admin_notice.h"

namespace kovrel {

ReadCommand::ReadCommand(SharedState& state, Window& window, Plot& plot, Capture& capture, Hooks hooks)
    : s_(state), w_(window), plot_(plot), capture_(capture), hooks_(std::move(hooks)) {}

void ReadCommand::Text1_DblClick() {
  w_.setText(Control::Text1, "");
  w_.setPasswordMode(Control::Text1, true);
}

void ReadCommand::llegirBtn_Click() {
  s_.tipoMontura = 0;
  if (s_.estic_calibrant == 1) w_.setVisible(Control::veri_instrument_txt, true);

  // Codes are the box's whole text, compared exactly: a stray blank makes it an ordinary read.
  const std::string typed = w_.text(Control::Text1);
  if (typed == kCodeServicePanel) {
    w_.setText(Control::Text1, "");
    toggleServicePanel();
    w_.setPasswordMode(Control::Text1, false);
    return;
  }
  if (typed == kCodeConfiguration) {
    w_.setText(Control::Text1, "");
    if (hooks_.showConfiguration) hooks_.showConfiguration();
    w_.setPasswordMode(Control::Text1, false);
    return;
  }
  if (typed == kCodeGeneralOffset) {
    w_.setText(Control::Text1, "");
    w_.setPasswordMode(Control::Text1, false);
    s_.obre_offset = "si";
    const std::string version = hooks_.versio_major ? hooks_.versio_major() : std::string();
    if (needsAdministratorNotice(version)) {
      showAdministratorNotice(w_);
    } else if (hooks_.activa_offset) {
      hooks_.activa_offset();
    }
    return;
  }

  w_.setPasswordMode(Control::Text1, false);
  if (hooks_.beforeRead) hooks_.beforeRead();
  clearAndDrawAxes(plot_);
  s_.ja_Enviat = 0;
  w_.setForeColor(Control::Text1, kBlack);
  capture_.captura_dibuixa();
}

void ReadCommand::toggleServicePanel() {
  // The window's height is the panel's state: anything but the closed height counts as open.
  if (w_.heightTwips(Control::Form1) != kFormHeightClosed) {
    w_.setHeightTwips(Control::Form1, kFormHeightClosed);
    setServicePanel(w_, false);
  } else {
    w_.setHeightTwips(Control::Form1, kFormHeightOpen);
    setServicePanel(w_, true);
  }
}

void setServicePanel(Window& window, bool open) {
  for (Control c : kServicePanel) {
    window.setVisible(c, open);
    window.setEnabled(c, open);
  }
}

}  // namespace kovrel
