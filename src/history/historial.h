#pragma once
// The history window's logic ("Historial"): the kept reads newest first, narrowed by the job
// digits typed and by a day, one of them loaded onto the plot, any trace file opened, the shape
// on the plot saved as a trace file. The archive is reached through the hooks only.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "history/history_entry.h"
#include "history/history_view.h"

namespace kovrel {

// What one row of the list says, column by column.
struct HistoryRowTexts {
  std::string when;  // "07/12/2026 14:30"
  std::string job;
  std::string size;  // "52,34 × 38,10 mm"
  std::string sent;  // "No enviado", "Enviado (2): Envio >OK<", "Ilegible: ..."
};

class Historial {
 public:
  struct Hooks {
    // The kept reads, newest first (the archive's listing).
    std::function<std::vector<HistoryEntry>()> list;
    // Stands the file's shape on the plot; empty when done, else why the file cannot be used.
    std::function<std::string(const std::filesystem::path&)> load;
    // Writes the shape on the plot to the file; empty when done, else why not.
    std::function<std::string(const std::filesystem::path&)> saveAs;
    // A shape stands on the plot (something to save), and the name to suggest for it.
    std::function<bool()> shapeOnPlot;
    std::function<std::filesystem::path()> suggestedName;
  };

  Historial(HistoryView& view, Hooks hooks);

  // The main window's "Historial": the listing afresh, the window shown.
  void open();
  // The rows the list shows now (the filters applied), for the view's model.
  int rowCount() const { return static_cast<int>(shown_.size()); }
  const HistoryEntry& row(int i) const { return all_[shown_[static_cast<std::size_t>(i)]]; }
  HistoryRowTexts rowTexts(int i) const { return textsOf(row(i), view_.decimalSeparator()); }

  static HistoryRowTexts textsOf(const HistoryEntry& entry, char decimalSeparator);

 private:
  void act(HistoryAction action);
  void applyFilters();
  void load(const std::filesystem::path& path);
  void refuse(const std::filesystem::path& path, const std::string& reason);
  void cargar();
  void abrir();
  void guardarComo();

  HistoryView& view_;
  Hooks hooks_;
  std::vector<HistoryEntry> all_;
  std::vector<std::size_t> shown_;  // indices into all_, newest first
};

}  // namespace kovrel
