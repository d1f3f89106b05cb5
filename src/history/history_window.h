#pragma once
// "Historial" on screen: the job and date filters, the list of kept reads (a model over the
// listing, so only the rows in sight are drawn, however many there are), the status line and
// the buttons "Cargar", "Abrir…", "Guardar como…" and "Cerrar". The window only shows and
// forwards; Historial decides.

#include <QDialog>
#include <functional>

#include "history/history_view.h"

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kovrel {

struct HistoryRowTexts;
class HistoryModel;

class HistoryWindow : public QDialog, public HistoryView {
  Q_OBJECT

 public:
  // Where the list's rows come from (Historial's rowTexts and row).
  struct Rows {
    std::function<HistoryRowTexts(int)> texts;
    std::function<const ArchiveEntry&(int)> entry;
    std::function<bool()> canFetchMore;
    std::function<void()> fetchMore;
  };

  explicit HistoryWindow(QWidget* parent = nullptr);
  ~HistoryWindow() override;
  void setRows(Rows rows);

  void rowsChanged(int count) override;
  void rowsAdded(int first, int count) override;
  int currentRow() const override;
  void setCurrentRow(int row) override;
  std::string jobFilter() const override;
  std::optional<Day> dateFilter() const override;
  void setStatus(std::string_view text) override;
  void setSaveEnabled(bool on) override;
  void open() override;
  void close() override { hide(); }
  bool isOpen() const override { return isVisible(); }
  std::optional<std::filesystem::path> askOpenFile() override;
  std::optional<std::filesystem::path> askSaveFile(const std::filesystem::path& suggested) override;
  void messageBox(std::string_view text, std::string_view title) override;
  char decimalSeparator() const override;

  // Replace the system's dialogs (tests answer instead).
  std::function<std::optional<std::filesystem::path>()> chooseOpenFile;
  std::function<void(std::string_view, std::string_view)> showMessage;

  QTableView* list() const { return list_; }
  QLineEdit* jobBox() const { return job_; }
  QCheckBox* dateTick() const { return dateOn_; }
  QDateEdit* dateBox() const { return date_; }
  QPushButton* button(HistoryAction a) const;
  QLabel* statusLabel() const { return status_; }

 private:
  void act(HistoryAction a);

  HistoryModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QLineEdit* job_ = nullptr;
  QCheckBox* dateOn_ = nullptr;
  QDateEdit* date_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* cargar_ = nullptr;
  QPushButton* abrir_ = nullptr;
  QPushButton* guardar_ = nullptr;
  QPushButton* cerrar_ = nullptr;
};

}  // namespace kovrel
