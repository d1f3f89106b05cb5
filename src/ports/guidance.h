#pragma once
// The step-by-step guidance the instructions window shows after a failed port set-up, chosen by
// the ports window's guidance code (2 to 7; other codes have none).

#include <span>
#include <string>
#include <string_view>

#include "base/window.h"

namespace kovrel {

// The lines of a guidance code, in order; empty for codes without guidance.
std::span<const std::string_view> guidanceLines(int code);

// The text of the instructions box: the first line and a line break, then each further line
// between line breaks (CR LF), so lines stand one empty line apart and the text ends with a
// break. Empty for codes without guidance.
std::string guidanceText(int code);

// One short line below the guidance naming this platform's own way to see and move COM numbers;
// empty where the guidance's own steps apply as written.
std::string_view platformGuidanceHint();

// The instructions window's "Aceptar / Salir": the main window is left so that the technician
// can only leave and start the program again, as the guidance asks.
void aceptar_instruccionsBtn_Click(Window& main);

}  // namespace kovrel
