#pragma once
// What assistive technology says of the main window's controls, in the operator's language.
// A control whose caption the eye sees is named by that caption, so a voice-control user can say
// what they see ("pulsa STOP"); a longer spoken form may follow it. A label is read as the text
// it shows now (the serial number, the job counter, the host's port), never as a fixed name; a
// check box or a text box with a caption label beside it is named by that label, its buddy.

#include <string_view>

#include "base/window.h"

namespace kovrel {

// The fixed name, or empty when the control is named by what it shows (its text, or its caption
// label's text).
std::string_view accessibleName(Control c);

// A short purpose added after the name ("Contador de trabajos" for "Rev.[345]"); may be empty.
std::string_view accessibleDescription(Control c);

// The caption label that names `c` (Label6 for calibraCentreChk), or Control::Count.
Control captionLabelOf(Control c);

}  // namespace kovrel
