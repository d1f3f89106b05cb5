#include "history/history_window.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "history/historial.h"

namespace kovrel {

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path pathOf(const QString& name) { return {name.toStdU16String()}; }

QString qPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return QString::fromUtf8(reinterpret_cast<const char*>(text.data()), static_cast<qsizetype>(text.size()));
}

enum Column { kWhen, kJob, kOutline, kSize, kSent, kColumns };
constexpr const char* kHeaders[kColumns] = {"Fecha", "Trabajo", "Forma", "A × B", "Envío"};

// The accessible name begins with the caption the eye sees; the spoken purpose follows.
void name(QWidget* w, const QString& caption, const QString& purpose) {
  QString shown = caption;
  shown.remove(QLatin1Char('&'));
  if (shown.endsWith(QLatin1Char(':'))) shown.chop(1);
  w->setAccessibleName(purpose.isEmpty() ? shown : shown + QStringLiteral(", ") + purpose);
}

}  // namespace

// The listing as Qt's list sees it: asked only for the rows on screen.
class HistoryModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void setRows(HistoryWindow::Rows rows) {
    beginResetModel();
    count_ = 0;
    rows_ = std::move(rows);
    endResetModel();
  }
  void reset(int count) {
    beginResetModel();
    count_ = count;
    endResetModel();
  }
  void added(int first, int count) {
    // Called back from fetchMore below, or by the logic on its own.
    beginInsertRows({}, first, first + count - 1);
    count_ = first + count;
    endInsertRows();
  }

  bool canFetchMore(const QModelIndex& parent) const override {
    return !parent.isValid() && rows_.canFetchMore && rows_.canFetchMore();
  }
  void fetchMore(const QModelIndex& parent) override {
    if (!parent.isValid() && rows_.fetchMore) rows_.fetchMore();
  }
  const ArchiveEntry* entry(int row) const {
    return rows_.entry && row >= 0 && row < count_ ? &rows_.entry(row) : nullptr;
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : count_; }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : kColumns; }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < kColumns)
      return QString::fromUtf8(kHeaders[section]);
    return {};
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || !rows_.texts || index.row() >= count_) return {};
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole && role != Qt::ToolTipRole) return {};
    const HistoryRowTexts t = rows_.texts(index.row());
    switch (index.column()) {
      case kWhen:
        return q(t.when);
      case kJob:
        return q(t.job);
      case kOutline:
        // Drawn by the delegate; a screen reader hears the size instead.
        return role == Qt::DisplayRole ? QVariant() : QVariant(q(t.size));
      case kSize:
        return q(t.size);
      case kSent:
        return q(t.sent);
      default:
        return {};
    }
  }

 private:
  int count_ = 0;
  HistoryWindow::Rows rows_;
};

namespace {

// The outline small, as the main plot draws it: x to the right, y upwards.
class OutlineDelegate : public QStyledItemDelegate {
 public:
  OutlineDelegate(const HistoryModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    const ArchiveEntry* e = model_->entry(index.row());
    if (e == nullptr || !e->readable || e->outline.size() < 3) return;
    double longest = 0.0;
    for (int r : e->outline) longest = std::max(longest, std::abs(static_cast<double>(r)));
    if (longest <= 0.0) return;
    const QRectF box = QRectF(option.rect).adjusted(2, 2, -2, -2);
    const double scale = std::min(box.width(), box.height()) / 2 / longest;
    const QPointF centre = box.center();
    QPainterPath path;
    const auto count = static_cast<double>(e->outline.size());
    for (std::size_t i = 0; i < e->outline.size(); ++i) {
      const double a = 2 * std::numbers::pi * static_cast<double>(i) / count;
      const QPointF p(centre.x() + e->outline[i] * std::cos(a) * scale,
                      centre.y() - e->outline[i] * std::sin(a) * scale);
      if (i == 0) {
        path.moveTo(p);
      } else {
        path.lineTo(p);
      }
    }
    path.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(
        option.state & QStyle::State_Selected ? option.palette.highlightedText().color() : QColor(0, 0, 255),
        1.2));
    painter->drawPath(path);
    painter->restore();
  }

 private:
  const HistoryModel* model_;
};

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Historial"));
  setWindowTitle(QStringLiteral("Historial"));
  // While it is open the main window waits: no read or send starts under a choice being made.
  setWindowModality(Qt::ApplicationModal);
  resize(760, 520);

  auto* filters = new QHBoxLayout;
  auto* jobLabel = new QLabel(QStringLiteral("&Trabajo:"), this);
  job_ = new QLineEdit(this);
  job_->setObjectName(QStringLiteral("trabajoTxt"));
  job_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), job_));
  job_->setPlaceholderText(QStringLiteral("número"));
  jobLabel->setBuddy(job_);
  name(job_, jobLabel->text(), QStringLiteral("filtrar por número de trabajo"));
  dateOn_ = new QCheckBox(QStringLiteral("&Fecha:"), this);
  dateOn_->setObjectName(QStringLiteral("fechaChk"));
  name(dateOn_, dateOn_->text(), QStringLiteral("filtrar por día"));
  date_ = new QDateEdit(QDate::currentDate(), this);
  date_->setObjectName(QStringLiteral("fechaTxt"));
  date_->setCalendarPopup(true);
  date_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
  date_->setEnabled(false);
  name(date_, QStringLiteral("Día"), QStringLiteral("día de las lecturas"));
  filters->addWidget(jobLabel);
  filters->addWidget(job_, 1);
  filters->addSpacing(16);
  filters->addWidget(dateOn_);
  filters->addWidget(date_);

  auto* listLabel = new QLabel(QStringLiteral("&Lecturas guardadas:"), this);
  model_ = new HistoryModel(this);
  list_ = new QTableView(this);
  list_->setObjectName(QStringLiteral("lecturasLst"));
  list_->setModel(model_);
  list_->setItemDelegateForColumn(kOutline, new OutlineDelegate(model_, list_));
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setTabKeyNavigation(false);
  list_->verticalHeader()->hide();
  // Every row the same height: the list then never measures the rows it does not show.
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setDefaultSectionSize(44);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setColumnWidth(kWhen, 130);
  list_->setColumnWidth(kJob, 90);
  list_->setColumnWidth(kOutline, 60);
  list_->setColumnWidth(kSize, 140);
  listLabel->setBuddy(list_);
  name(list_, listLabel->text(), QStringLiteral("la más reciente primero"));

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("estatLbl"));

  auto makeButton = [this](const QString& caption, const QString& objectName, const QString& purpose) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(objectName);
    name(b, caption, purpose);
    return b;
  };
  cargar_ = makeButton(QStringLiteral("&Cargar"), QStringLiteral("cargarBtn"),
                       QStringLiteral("poner la lectura elegida en el gráfico"));
  abrir_ = makeButton(QStringLiteral("&Abrir…"), QStringLiteral("abrirBtn"),
                      QStringLiteral("abrir un archivo de trazado VCA"));
  guardar_ = makeButton(QStringLiteral("&Guardar como…"), QStringLiteral("guardarBtn"),
                        QStringLiteral("guardar la forma del gráfico como archivo de trazado"));
  cerrar_ = makeButton(QStringLiteral("C&errar"), QStringLiteral("cerrarBtn"), QString());
  // Enter anywhere in the window loads the chosen read, as a double click does.
  cargar_->setDefault(true);
  for (QPushButton* b : {abrir_, guardar_, cerrar_}) b->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_, 1);
  for (QPushButton* b : {cargar_, abrir_, guardar_, cerrar_}) buttons->addWidget(b);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(listLabel);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  connect(job_, &QLineEdit::textChanged, this, [this] { act(HistoryAction::Filter); });
  connect(dateOn_, &QCheckBox::toggled, this, [this](bool on) {
    date_->setEnabled(on);
    act(HistoryAction::Filter);
  });
  connect(date_, &QDateEdit::dateChanged, this, [this] {
    if (dateOn_->isChecked()) act(HistoryAction::Filter);
  });
  connect(list_, &QTableView::doubleClicked, this, [this] { act(HistoryAction::Cargar); });
  connect(cargar_, &QPushButton::clicked, this, [this] { act(HistoryAction::Cargar); });
  connect(abrir_, &QPushButton::clicked, this, [this] { act(HistoryAction::Abrir); });
  connect(guardar_, &QPushButton::clicked, this, [this] { act(HistoryAction::GuardarComo); });
  connect(cerrar_, &QPushButton::clicked, this, [this] { act(HistoryAction::Cerrar); });
  // Escape closes the window like "Cerrar".
  connect(this, &QDialog::rejected, this, [this] { hide(); });
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::act(HistoryAction a) {
  if (onAction) onAction(a);
}

void HistoryWindow::setRows(Rows rows) { model_->setRows(std::move(rows)); }

QPushButton* HistoryWindow::button(HistoryAction a) const {
  switch (a) {
    case HistoryAction::Cargar:
      return cargar_;
    case HistoryAction::Abrir:
      return abrir_;
    case HistoryAction::GuardarComo:
      return guardar_;
    case HistoryAction::Cerrar:
      return cerrar_;
    default:
      return nullptr;
  }
}

void HistoryWindow::rowsChanged(int count) { model_->reset(count); }

void HistoryWindow::rowsAdded(int first, int count) { model_->added(first, count); }

int HistoryWindow::currentRow() const {
  const QModelIndex index = list_->currentIndex();
  return index.isValid() ? index.row() : -1;
}

void HistoryWindow::setCurrentRow(int row) {
  list_->setCurrentIndex(model_->index(row, kWhen));
  list_->scrollTo(model_->index(row, kWhen));
}

std::string HistoryWindow::jobFilter() const { return job_->text().toStdString(); }

std::optional<Day> HistoryWindow::dateFilter() const {
  if (!dateOn_->isChecked()) return std::nullopt;
  const QDate d = date_->date();
  return Day{d.year(), d.month(), d.day()};
}

void HistoryWindow::setStatus(std::string_view text) {
  status_->setText(q(text));
  status_->setAccessibleName(q(text));
}

void HistoryWindow::setSaveEnabled(bool on) { guardar_->setEnabled(on); }

void HistoryWindow::open() {
  show();
  raise();
  activateWindow();
  list_->setFocus();
}

std::optional<std::filesystem::path> HistoryWindow::askOpenFile() {
  if (chooseOpenFile) return chooseOpenFile();
  const QString file = QFileDialog::getOpenFileName(
      this, QStringLiteral("Abrir trazado"), QString(),
      QStringLiteral("Trazados VCA (*.vca *.oma *.trc *.txt);;Todos los archivos (*)"));
  if (file.isEmpty()) return std::nullopt;
  return pathOf(file);
}

std::optional<std::filesystem::path> HistoryWindow::askSaveFile(const std::filesystem::path& suggested) {
  const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Guardar trazado"), qPath(suggested),
                                                    QStringLiteral("Trazados VCA (*.vca)"));
  if (file.isEmpty()) return std::nullopt;
  return pathOf(file);
}

void HistoryWindow::messageBox(std::string_view text, std::string_view title) {
  if (showMessage) {
    showMessage(text, title);
    return;
  }
  QMessageBox::information(this, q(title), q(text));
}

char HistoryWindow::decimalSeparator() const {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 128) return static_cast<char>(point.at(0).unicode());
  return '.';
}

}  // namespace kovrel
