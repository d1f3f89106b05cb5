#pragma once
// The history put together with the main window: the "Historial" window over the archive, a
// kept read or a trace file loaded onto the plot (from the list, "Abrir…" or a file dropped on
// the main window), and "Guardar como…". A kept read loaded from the archive goes on being kept
// in its own file; any other shape is no kept read.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "archive/archive_keeper.h"
#include "archive/archive_store.h"
#include "base/shared_state.h"

namespace kovrel {

class Capture;
class Historial;
class HistoryWindow;
class MainWindow;
class ShapeEditor;

class HistoryLink {
 public:
  struct Parts {
    SharedState& state;
    MainWindow& window;
    Capture& capture;
    ShapeEditor& editor;
    ArchiveStore& store;
    ArchiveKeeper& keeper;
    // A shape stands on the plot afresh (the sizes under it follow).
    std::function<void()> shapeStands;
  };

  explicit HistoryLink(Parts parts);
  ~HistoryLink();
  HistoryLink(const HistoryLink&) = delete;
  HistoryLink& operator=(const HistoryLink&) = delete;

  // The main window's "Historial".
  void open();
  // A file dropped on the main window: loaded as "Abrir…" would, refused with a message.
  void openFile(const std::filesystem::path& file);

  HistoryWindow& window() { return *window_; }
  Historial& historial() { return *historial_; }

 private:
  std::string load(const std::filesystem::path& file);
  std::string saveAs(const std::filesystem::path& file);
  double manualOffsetMm() const;

  Parts p_;
  std::unique_ptr<HistoryWindow> window_;
  std::unique_ptr<Historial> historial_;
};

}  // namespace kovrel
