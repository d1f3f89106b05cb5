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

std::string unusableFileText(const std::filesystem::path& file, const std::string& reason) {
  return "No se puede usar el archivo " + nameOf(file) + ": " + reason;
}

Historial::Historial(HistoryView& view, Hooks hooks) : view_(view), hooks_(std::move(hooks)) {
  view_.onAction = [this](HistoryAction a) { act(a); };
}

HistoryRowTexts Historial::textsOf(const ArchiveEntry& e, char decimalSeparator) {
  HistoryRowTexts t;
  char when[64];
  std::snprintf(when, sizeof when, "%02d/%02d/%04d %02d:%02d", e.time.day, e.time.month, e.time.year,
                e.time.hour, e.time.minute);
  t.when = when;
  t.job = e.job;
  if (!e.readable) {
    t.sent = "Ilegible: " + e.reason;
    return t;
  }
  t.size = twoDecimals(e.a, decimalSeparator) + " × " + twoDecimals(e.b, decimalSeparator) + " mm";
  t.sent = e.sends == 0 ? std::string("No enviado")
                        : "Enviado (" + std::to_string(e.sends) + "): " + e.lastOutcome;
  return t;
}

void Historial::open() {
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
  filter_ = ArchiveFilter{};
  filter_.jobDigits = digitsOf(view_.jobFilter());
  if (const std::optional<Day> day = view_.dateFilter()) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", day->year % 10000, day->month % 100, day->day % 100);
    filter_.fromDay = filter_.toDay = text;
  }
  ArchivePage page = hooks_.list ? hooks_.list(filter_, 0, kHistoryPage) : ArchivePage{};
  rows_ = std::move(page.entries);
  more_ = page.more;
  view_.rowsChanged(rowCount());
  if (!rows_.empty()) view_.setCurrentRow(0);
  showStatus();
}

void Historial::fetchMore() {
  if (!more_ || !hooks_.list) return;
  ArchivePage page = hooks_.list(filter_, rows_.size(), kHistoryPage);
  const int first = rowCount();
  rows_.insert(rows_.end(), std::make_move_iterator(page.entries.begin()),
               std::make_move_iterator(page.entries.end()));
  more_ = page.more;
  if (rowCount() > first) view_.rowsAdded(first, rowCount() - first);
  showStatus();
}

void Historial::showStatus() {
  const std::string count = std::to_string(rows_.size());
  if (more_) {
    view_.setStatus("Más de " + count + " lecturas");
  } else {
    view_.setStatus(count + (rows_.size() == 1 ? " lectura" : " lecturas"));
  }
}

void Historial::load(const std::filesystem::path& path) {
  const std::string problem = hooks_.load ? hooks_.load(path) : std::string("sin archivo");
  if (problem.empty()) {
    view_.close();  // the shape stands on the main plot, where the operator works on it
    return;
  }
  view_.messageBox(unusableFileText(path, problem), texts::kTitleAttention);
}

void Historial::cargar() {
  const int r = view_.currentRow();
  if (r < 0 || r >= rowCount()) return;
  const ArchiveEntry& e = row(r);
  if (!e.readable) {
    view_.messageBox(unusableFileText(e.path, e.reason), texts::kTitleAttention);
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
