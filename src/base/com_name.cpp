#include "base/com_name.h"

#include "base/number_text.h"

namespace kovrel {

std::string comName(const Dynamic& number) {
  if (!number.isEmpty() && number.isNumeric()) return "COM" + shortestNumber(number.toNumber());
  return "COM" + number.toText();
}

}  // namespace kovrel
