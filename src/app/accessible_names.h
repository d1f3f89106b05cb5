#pragma once
// Names a screen reader speaks for the main window's controls, in the operator's language.
// Test tools find widgets by them too, so every control has one and no two are alike.

#include <string_view>

#include "base/window.h"

namespace kovrel {

std::string_view accessibleName(Control c);

}  // namespace kovrel
