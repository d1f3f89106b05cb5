#pragma once
// The configuration window as its logic sees it: thirteen text fields under their object names,
// a line that says why nothing was stored, and showing and closing. The Qt window implements it;
// tests use an in-memory fake.

#include <functional>
#include <string>
#include <string_view>

namespace kovrel {

// In screen order: top to bottom, left to right.
enum class ConfigField {
  conf_graus_txt,
  conf_radi_txt,
  conf_cohere_txt,
  conf_polsos_txt,
  conf_polsosini_txt,
  conf_carrera_txt,
  obertura_txt,
  filtre_conf_txt,
  com1_conf_txt,
  com2_conf_txt,
  conf_radCent_txt,
  calibra_centre_txt,
  cicle_calibracio_txt,
  Count
};
inline constexpr int kConfigFieldCount = static_cast<int>(ConfigField::Count);

enum class ConfigButton { calc_opols_btn, conf_carrera_btn, Guardar, Sortir };

std::string_view objectName(ConfigField f);
// The label beside the field, as the technician names it ("FI", "com Kovrel").
std::string_view labelOf(ConfigField f);

class ConfigView {
 public:
  virtual ~ConfigView() = default;

  virtual void setField(ConfigField f, std::string_view text) = 0;
  virtual std::string field(ConfigField f) const = 0;
  // Why the last save or calculation did nothing; empty clears it.
  virtual void showProblem(std::string_view text) = 0;
  // Shows the window (modal: the main window waits for it); an open window comes to the front.
  virtual void open(bool modal) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // The operator's decimal separator ("," in a Spanish locale).
  virtual char decimalSeparator() const = 0;

  // A button pressed by the technician.
  std::function<void(ConfigButton)> onClick;
};

}  // namespace kovrel
