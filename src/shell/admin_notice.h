#pragma once
// The administrator notice: on the systems that only take settings changes from a program
// started as administrator, port set-up and the general offset first ask the operator to have
// started it so.

#include <string_view>

#include "base/window.h"

namespace kovrel {

// Major version 6 and later, compared as a number: "10" is later than "6", though as text it
// sorts before it. Empty or not a number: no notice.
bool needsAdministratorNotice(std::string_view versio_major);
// The notice over the plot, its two buttons live, the exit button held until one is pressed.
void showAdministratorNotice(Window& window);

}  // namespace kovrel
