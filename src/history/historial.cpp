#include "history/historial.h"

#include <cstdio>
#include <utility>

#include "base/texts.h"
#include "geometry/shape_sizes.h"

namespace kovrel {
namespace {

std::string digitsOf(const std::string& typed) {
  std::string digits;
  for (char c : typed) {
    if (c >= '0' && c <= '9') digits += c;
  }
  return digits;
}

// The file's name in UTF-8 on every system (a Windows path's own narrow form is the code page's).
std::string nameOf(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return {name.begin(), name.end()};
}

}  // namespace

Historial::Historial(HistoryView& view, Hooks hooks) : view_(view), hooks_(std::move(hooks)) {
  view_.onAction = [this](HistoryAction a) { act(a); };
}

HistoryRowTexts Historial::textsOf(const HistoryEntry& e, char decimalSeparator) {
  HistoryRowTexts t;
  char when[40];
  std::snprintf(when, sizeof when, "%02d/%02d/%04d %02d:%02d", e.day.day, e.day.month, e.day.year, e.hour,
                e.minute);
  t.when = when;
  t.job = e.job;
  if (!e.readable) {
    t.sent = "Ilegible: " + e.reason;
    return t;
  }
  t.size = twoDecimals(e.aMm, decimalSeparator) + " × " + twoDecimals(e.bMm, decimalSeparator) + " mm";
  if (e.sends == 0) {
    t.sent = "No enviado";
  } else {
    t.sent = "Enviado (" + std::to_string(e.sends) + "): " + e.lastOutcome;
  }
  return t;
}

void Historial::open() {
  all_ = hooks_.list ? hooks_.list() : std::vector<HistoryEntry>{};
  view_.setSaveEnabled(hooks_.shapeOnPlot && hooks_.shapeOnPlot());
  applyFilters();
  view_.open();
}

void Historial::act(HistoryAction action) {
  switch (action) {
    case HistoryAction::Cargar:
      cargar();
      break;
    case HistoryAction::Abrir:
      abrir();
      break;
    case HistoryAction::GuardarComo:
      guardarComo();
      break;
    case HistoryAction::Filter:
      applyFilters();
      break;
    case HistoryAction::Cerrar:
      view_.close();
      break;
  }
}

void Historial::applyFilters() {
  const std::string digits = digitsOf(view_.jobFilter());
  const std::optional<Day> day = view_.dateFilter();
  shown_.clear();
  for (std::size_t i = 0; i < all_.size(); ++i) {
    const HistoryEntry& e = all_[i];
    if (!digits.empty() && e.job.find(digits) == std::string::npos) continue;
    if (day && e.day != *day) continue;
    shown_.push_back(i);
  }
  view_.rowsChanged(rowCount());
  if (!shown_.empty()) view_.setCurrentRow(0);
  std::string status = std::to_string(shown_.size());
  if (shown_.size() != all_.size()) status += " de " + std::to_string(all_.size());
  view_.setStatus(status + (all_.size() == 1 ? " lectura" : " lecturas"));
}

void Historial::load(const std::filesystem::path& path) {
  const std::string problem = hooks_.load ? hooks_.load(path) : std::string("sin archivo");
  if (problem.empty()) {
    view_.close();  // the shape stands on the main plot, where the operator works on it
    return;
  }
  refuse(path, problem);
}

void Historial::refuse(const std::filesystem::path& path, const std::string& reason) {
  view_.messageBox("No se puede usar el archivo " + nameOf(path) + ": " + reason, texts::kTitleAttention);
}

void Historial::cargar() {
  const int r = view_.currentRow();
  if (r < 0 || r >= rowCount()) return;
  const HistoryEntry& e = row(r);
  if (!e.readable) {
    refuse(e.path, e.reason);
    return;
  }
  load(e.path);
}

void Historial::abrir() {
  if (const auto path = view_.askOpenFile()) load(*path);
}

void Historial::guardarComo() {
  if (!hooks_.shapeOnPlot || !hooks_.shapeOnPlot() || !hooks_.saveAs) return;
  const auto path =
      view_.askSaveFile(hooks_.suggestedName ? hooks_.suggestedName() : std::filesystem::path());
  if (!path) return;
  const std::string problem = hooks_.saveAs(*path);
  if (problem.empty()) {
    view_.setStatus("Guardado en " + nameOf(*path));
  } else {
    view_.messageBox("No se ha podido guardar " + nameOf(*path) + ": " + problem, texts::kTitleAttention);
  }
}

}  // namespace kovrel
