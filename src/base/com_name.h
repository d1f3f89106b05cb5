#pragma once
// The COM name of a port setting, as the port layer, the second start and the ports window
// write it.

#include <string>

#include "base/dynamic.h"

namespace kovrel {

// "COM" followed by the number: the virtual port's name for comport2 = 5 is "COM5". Whole
// numbers are written without decimals; a setting that is not a number keeps its own text.
std::string comName(const Dynamic& number);

}  // namespace kovrel
