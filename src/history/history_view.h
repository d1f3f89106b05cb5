#pragma once
// The history window as its logic sees it: the list of kept reads (drawn from Historial's rows,
// only the visible ones), the two filters, a status line, the file dialogs and the message box.
// The Qt window implements it; tests use an in-memory fake.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "archive/archive_store.h"

namespace kovrel {

// A calendar day of local time.
struct Day {
  int year = 0, month = 0, day = 0;
};

enum class HistoryAction {
  Cargar,       // "Cargar", a double click or Enter on a row
  Abrir,        // "Abrir…": any trace file
  GuardarComo,  // "Guardar como…": the shape on the plot as a trace file
  Filter,       // the job digits or the date changed
  Cerrar,
};

class HistoryView {
 public:
  virtual ~HistoryView() = default;

  // The rows changed (count and contents): the list shows rows 0..count-1 afresh.
  virtual void rowsChanged(int count) = 0;
  // Rows first..first+count-1 came after the others (the list was scrolled to its end).
  virtual void rowsAdded(int first, int count) = 0;
  // The selected row, -1 when none.
  virtual int currentRow() const = 0;
  virtual void setCurrentRow(int row) = 0;
  // The job filter as typed and the date filter (none when the date box is unticked).
  virtual std::string jobFilter() const = 0;
  virtual std::optional<Day> dateFilter() const = 0;
  // The line under the list ("12 lecturas", why nothing was kept).
  virtual void setStatus(std::string_view text) = 0;
  virtual void setSaveEnabled(bool on) = 0;
  virtual void open() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // File dialogs: a file to open, a file to write (starting at `suggested`); none if cancelled.
  virtual std::optional<std::filesystem::path> askOpenFile() = 0;
  virtual std::optional<std::filesystem::path> askSaveFile(const std::filesystem::path& suggested) = 0;
  virtual void messageBox(std::string_view text, std::string_view title) = 0;
  virtual char decimalSeparator() const = 0;

  // What the operator did, however done (mouse, keyboard, assistive technology).
  std::function<void(HistoryAction)> onAction;
};

}  // namespace kovrel
