#include "settings/configuracio.h"

#include <array>
#include <cmath>
#include <string>
#include <utility>

#include "base/number_text.h"
#include "settings/config_texts.h"

namespace kovrel {
namespace {

// One field: the setting it edits, the label beside it, and whether the writer refuses a 0 in
// it. Exactly one of `number` and `dynamic` is set.
struct FieldSetting {
  std::string_view name;
  std::string_view label;
  double SharedState::*number;
  Dynamic SharedState::*dynamic;
  bool required;
};

// In screen order, as ConfigField.
constexpr std::array<FieldSetting, kConfigFieldCount> kFields = {{
    {"conf_graus_txt", "º/p", &SharedState::grausperpols, nullptr, true},
    {"conf_radi_txt", "Radi", &SharedState::midaradi, nullptr, true},
    {"conf_cohere_txt", "Coherencia", &SharedState::angleplus, nullptr, false},
    {"conf_polsos_txt", "FI", &SharedState::polsoseix, nullptr, true},
    {"conf_polsosini_txt", "INI", &SharedState::polsosini, nullptr, true},
    {"conf_carrera_txt", "", nullptr, &SharedState::carrera, true},
    {"obertura_txt", "Range", &SharedState::obertura_brac, nullptr, true},
    {"filtre_conf_txt", "Filtre", nullptr, &SharedState::filterscope, true},
    {"com1_conf_txt", "com Kovrel", nullptr, &SharedState::comport1, true},
    {"com2_conf_txt", "com OUT", nullptr, &SharedState::comport2, true},
    {"conf_radCent_txt", "Rad.cen.", &SharedState::radi_central, nullptr, true},
    {"calibra_centre_txt", "apli", nullptr, &SharedState::calibra_centre, false},
    {"cicle_calibracio_txt", "instalat", nullptr, &SharedState::cicle_calibracio, false},
}};

const FieldSetting& settingOf(ConfigField f) { return kFields.at(static_cast<std::size_t>(f)); }

// The field as a message names it: its label, quoted; the travel, which has none, by what it is.
std::string quoted(ConfigField f) {
  const std::string_view label = labelOf(f);
  return "«" + std::string(label.empty() ? "INI - FI" : label) + "»";
}

}  // namespace

std::string_view objectName(ConfigField f) { return settingOf(f).name; }
std::string_view labelOf(ConfigField f) { return settingOf(f).label; }

Configuracio::Configuracio(SharedState& state, Window& mainWindow, ConfigView& view, SettingsFile& settings,
                           Hooks hooks)
    : s_(state), w_(mainWindow), view_(view), settings_(settings), hooks_(std::move(hooks)) {
  view_.onClick = [this](ConfigButton b) {
    switch (b) {
      case ConfigButton::calc_opols_btn:
        calc_opols_btn_Click();
        break;
      case ConfigButton::conf_carrera_btn:
        conf_carrera_btn_Click();
        break;
      case ConfigButton::Guardar:
        Guardar_Click();
        break;
      case ConfigButton::Sortir:
        Sortir_Click();
        break;
    }
  };
}

void Configuracio::show(bool modal) {
  // An open window keeps the technician's edits: it only comes to the front.
  if (!view_.isOpen()) Form_Load();
  view_.open(modal);
}

void Configuracio::Form_Load() {
  // The port numbers and the installation state in memory are the ports this session runs on: a
  // port set-up decides them, and the file hears of them only at the next save (a read, SALIR).
  // Opening the window must not put the file's older numbers under a host port that lives
  // elsewhere, nor let the next save write them back.
  constexpr Dynamic SharedState::*kSessionPorts[] = {&SharedState::comport1, &SharedState::comport2,
                                                     &SharedState::primera_instalacio};
  std::array<Dynamic, std::size(kSessionPorts)> held;
  for (std::size_t i = 0; i < held.size(); ++i) held[i] = s_.*kSessionPorts[i];
  load();
  // Nothing held yet (no file read before): the file's values are the session's.
  for (std::size_t i = 0; i < held.size(); ++i)
    if (!held[i].isEmpty()) s_.*kSessionPorts[i] = held[i];
  fill();
  view_.showProblem("");
}

void Configuracio::load() {
  const LoadOutcome outcome = settings_.carrega_dades(s_);
  if (outcome.replacedByDefault && hooks_.replacedOnLoad) hooks_.replacedOnLoad(outcome.problem);
}

void Configuracio::fill() {
  for (int i = 0; i < kConfigFieldCount; ++i) {
    const auto f = static_cast<ConfigField>(i);
    const FieldSetting& setting = settingOf(f);
    if (setting.number) {
      setNumber(f, s_.*setting.number);
    } else if (const Dynamic& held = s_.*setting.dynamic; held.isNumber()) {
      // A number held in a dynamic value (the travel, after a file read) is shown as the
      // operator writes numbers, like the fields beside it; a text is shown as it is.
      setNumber(f, held.toNumber());
    } else {
      view_.setField(f, held.toText());
    }
  }
}

std::optional<double> Configuracio::number(ConfigField f, std::string_view whyNot) {
  double value = 0.0;
  if (parseLocaleNumber(view_.field(f), view_.decimalSeparator(), value)) return value;
  view_.showProblem(quoted(f) + std::string(whyNot));
  return std::nullopt;
}

void Configuracio::setNumber(ConfigField f, double value) {
  view_.setField(f, localeNumber(value, view_.decimalSeparator()));
}

bool Configuracio::conf_carrera_btn_Click() {
  const auto ini = number(ConfigField::conf_polsosini_txt, texts::kCalcNotANumber);
  if (!ini) return false;
  const auto fi = number(ConfigField::conf_polsos_txt, texts::kCalcNotANumber);
  if (!fi) return false;
  const double travel = *ini - *fi;  // counts
  if (!std::isfinite(travel)) {
    view_.showProblem(texts::kCalcOutOfRange);
    return false;
  }
  setNumber(ConfigField::conf_carrera_txt, travel);
  view_.showProblem("");
  return true;
}

bool Configuracio::calc_opols_btn_Click() {
  const auto chord = number(ConfigField::obertura_txt, texts::kCalcNotANumber);  // mm
  if (!chord) return false;
  const auto arm = number(ConfigField::conf_radi_txt, texts::kCalcNotANumber);  // mm
  if (!arm) return false;
  const auto travel = number(ConfigField::conf_carrera_txt, texts::kCalcNotANumber);  // counts
  if (!travel) return false;
  // The arm turns through 2*asin(chord/2/arm) while the needle covers the chord; the arcsine
  // has no answer for a chord of twice the arm or more, and a zero arm or travel divides by 0.
  std::string why;
  if (*arm == 0) {
    why = quoted(ConfigField::conf_radi_txt) + std::string(texts::kCalcZero);
  } else if (*travel == 0) {
    why = quoted(ConfigField::conf_carrera_txt) + std::string(texts::kCalcZero);
  } else if (const double x = *chord / 2.0 / *arm; std::abs(x) >= 1.0) {
    why = texts::kRangeTooWide;
  } else {
    const double angle = 2.0 * std::atan(x / std::sqrt(1.0 - x * x));  // radians
    const double perPulse = angle / *travel;
    if (std::isfinite(perPulse)) {
      setNumber(ConfigField::conf_graus_txt, perPulse);
      view_.showProblem("");
      return true;
    }
    why = texts::kCalcOutOfRange;
  }
  view_.showProblem(why);
  return false;
}

bool Configuracio::Guardar_Click() {
  // Every field is checked before anything is stored: a refused save leaves the shared state,
  // the file and the technician's edits on screen as they were, and says why.
  std::array<double, kConfigFieldCount> values{};
  for (int i = 0; i < kConfigFieldCount; ++i) {
    const auto value = number(static_cast<ConfigField>(i), texts::kNotANumber);
    if (!value) return false;
    values[static_cast<std::size_t>(i)] = *value;
  }
  for (int i = 0; i < kConfigFieldCount; ++i) {
    const auto f = static_cast<ConfigField>(i);
    if (settingOf(f).required && values[static_cast<std::size_t>(i)] == 0.0) {
      view_.showProblem(quoted(f) + std::string(texts::kIsZero));
      return false;
    }
  }

  SharedState edited = s_;
  for (int i = 0; i < kConfigFieldCount; ++i) {
    const FieldSetting& setting = settingOf(static_cast<ConfigField>(i));
    const double value = values[static_cast<std::size_t>(i)];
    if (setting.number) {
      edited.*setting.number = value;
    } else {
      edited.*setting.dynamic = value;  // texts of the file receive the number
    }
  }
  const SaveResult result = settings_.guarda_dades(edited);
  if (result == SaveResult::Refused) {
    // A required setting outside the window (folder, installation state) is zero.
    view_.showProblem(texts::kRequiredZero);
    return false;
  }
  if (result == SaveResult::Failed) {
    view_.showProblem(settings_.lastError());
    return false;
  }

  // A save ends a centre calibration in progress.
  if (s_.estic_calibrant == 1) {
    s_.estic_calibrant = 0;
    s_.calibra_centre = 0;
    w_.setVisible(Control::veri_instrument_txt, false);
  }
  // The shared state holds again exactly what the file holds.
  load();
  if (hooks_.saved) hooks_.saved();
  w_.setEnabled(Control::cfg_btn, true);
  view_.showProblem("");
  view_.close();
  return true;
}

void Configuracio::Sortir_Click() { view_.close(); }

}  // namespace kovrel
