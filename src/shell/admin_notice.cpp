#include "shell/admin_notice.h"

#include <charconv>

namespace kovrel {
namespace {

constexpr int kFirstAdminVersion = 6;

}  // namespace

bool needsAdministratorNotice(std::string_view versio_major) {
  int major = 0;
  const auto [end, error] =
      std::from_chars(versio_major.data(), versio_major.data() + versio_major.size(), major);
  return error == std::errc{} && end != versio_major.data() && major >= kFirstAdminVersion;
}

void showAdministratorNotice(Window& window) {
  window.setVisible(Control::Picture1, false);
  window.setVisible(Control::inicio_adminBtn, true);
  window.setEnabled(Control::inicio_adminBtn, true);
  window.setVisible(Control::cancelar_adminBtn, true);
  window.setEnabled(Control::cancelar_adminBtn, true);
  window.setEnabled(Control::sortirBtn, false);
  window.setVisible(Control::info_vista, true);
}

}  // namespace kovrel
