#pragma once
// Configuracio: the service technician's editor of the arm calibration and the port numbers.
// The fields are the only working copy until "Guardar/Reiniciar", which stores all thirteen,
// writes trac_conf.cfg and reloads it; "Sortir" drops the edits. Two calculators derive the
// arm's travel (INI - FI) and its angle per encoder pulse from the arm geometry.

#include <functional>
#include <optional>

#include "base/shared_state.h"
#include "base/window.h"
#include "settings/config_view.h"
#include "settings/settings_file.h"

namespace kovrel {

class Configuracio {
 public:
  struct Hooks {
    // The file has been written (the main window shows the host's port as saved).
    std::function<void()> saved;
    // The file was missing or unreadable on opening and was replaced: tell the operator.
    std::function<void(const std::string& problem)> replacedOnLoad;
  };

  Configuracio(SharedState& state, Window& mainWindow, ConfigView& view, SettingsFile& settings,
               Hooks hooks = {});

  // Opens the window (Form_Load on a closed one); an open one only comes to the front.
  void show(bool modal);
  ConfigView& view() { return view_; }

  // Each returns false, saying why, when it left every field and the file as they were.
  bool conf_carrera_btn_Click();
  bool calc_opols_btn_Click();
  bool Guardar_Click();
  void Sortir_Click();

 private:
  void Form_Load();
  void fill();
  void load();
  // The number in a field in the operator's locale; nothing (and the reason shown) otherwise.
  std::optional<double> number(ConfigField f, std::string_view whyNot);
  void setNumber(ConfigField f, double value);

  SharedState& s_;
  Window& w_;
  ConfigView& view_;
  SettingsFile& settings_;
  Hooks hooks_;
};

}  // namespace kovrel
