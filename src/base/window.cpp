#include "base/window.h"

#include <array>

namespace kovrel {

std::string_view objectName(Control c) {
  static constexpr std::array<std::string_view, kControlCount> kNames = {
#define KOVREL_NAME(name) #name,
      KOVREL_CONTROLS(KOVREL_NAME)
#undef KOVREL_NAME
  };
  auto i = static_cast<std::size_t>(c);
  return i < kNames.size() ? kNames[i] : std::string_view{};
}

}  // namespace kovrel
