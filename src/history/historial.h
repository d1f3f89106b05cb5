#pragma once
// The history window's logic ("Historial"): the kept reads newest first, narrowed by the job
// digits typed and by a day, one of them loaded onto the plot, any trace file opened, the shape
// on the plot saved as a trace file. The archive answers a page at a time: the first screen
// comes at once however many reads are kept, and further pages as the list is scrolled down.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_store.h"
#include "history/history_view.h"

namespace kovrel {

// Rows asked of the archive at a time: several screens of the list.
inline constexpr std::size_t kHistoryPage = 200;

// What one row of the list says, column by column.
struct HistoryRowTexts {
  std::string when;  // "07/12/2026 14:30"
  std::string job;
  std::string size;  // "52,34 × 38,10 mm"
  std::string sent;  // "No enviado", "Enviado (2): Envio >OK< ", "Ilegible: ..."
};

// "No se puede usar el archivo NAME: REASON", the operator's message for a file refused.
std::string unusableFileText(const std::filesystem::path& file, const std::string& reason);

class Historial {
 public:
  struct Hooks {
    // The archive's listing: entries matching the filter, newest first, from `first` on.
    std::function<ArchivePage(const ArchiveFilter&, std::size_t first, std::size_t count)> list;
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
  // The rows the list holds now (the filters applied), for the view's model.
  int rowCount() const { return static_cast<int>(rows_.size()); }
  const ArchiveEntry& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
  HistoryRowTexts rowTexts(int i) const { return textsOf(row(i), view_.decimalSeparator()); }
  // The list reached its last row: the next page, if the archive holds more.
  bool canFetchMore() const { return more_; }
  void fetchMore();

  static HistoryRowTexts textsOf(const ArchiveEntry& entry, char decimalSeparator);

 private:
  void act(HistoryAction action);
  void applyFilters();
  void showStatus();
  void load(const std::filesystem::path& path);
  void cargar();
  void abrir();
  void guardarComo();

  HistoryView& view_;
  Hooks hooks_;
  ArchiveFilter filter_;
  std::vector<ArchiveEntry> rows_;  // newest first
  bool more_ = false;
};

}  // namespace kovrel
