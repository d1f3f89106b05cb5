#include "app/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopedValueRollback>

#include "base/texts.h"
#include "scanner/plot_scale.h"
#include "scanner/plot_widget.h"

namespace kovrel {

namespace {

QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isOperatorInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::Enter:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
      return true;
    default:
      return false;  // releases go through, so a turn button never stays down
  }
}

// Swallows the operator's input to the window while the host exchange runs, and notes whether
// the last press was a key or a mouse button. Lives on the application, ahead of every widget's
// own handling.
class InputGate : public QObject {
 public:
  InputGate(QWidget* window, std::function<bool()> blocked, bool& keyboardLast)
      : QObject(window), window_(window), blocked_(std::move(blocked)), keyboardLast_(keyboardLast) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!isOperatorInput(event->type())) return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (w == nullptr || (w != window_ && !window_->isAncestorOf(w))) return false;
    if (event->type() == QEvent::KeyPress) keyboardLast_ = true;
    if (event->type() == QEvent::MouseButtonPress) keyboardLast_ = false;
    return blocked_();
  }

 private:
  QWidget* window_;
  std::function<bool()> blocked_;
  bool& keyboardLast_;
};

// The lens-type choices with the light pictures that cover them until hovered.
constexpr std::pair<Control, Control> kLensChoices[] = {
    {Control::Image_fosca_gran, Control::Image_clara_gran},
    {Control::Image_fosca_igual, Control::Image_clara_igual},
    {Control::Image_fosca_petita, Control::Image_clara_petita}};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  colours_.fill(kBlack);
  buildControls();
  setAcceptDrops(true);
  connectEvents();
  qApp->installEventFilter(new InputGate(
      this, [this] { return blocked(); }, keyboardLast_));
}

MainWindow::~MainWindow() = default;

int MainWindow::toPixels(double twips) const { return twipsToPixels(twips, logicalDpiY()); }

Control MainWindow::controlOf(const QObject* object) const {
  for (int i = 0; i < kControlCount; ++i) {
    if (controls_[static_cast<std::size_t>(i)] == object) return static_cast<Control>(i);
  }
  return Control::Count;
}

void MainWindow::report(Control c, UiEvent e) {
  // A control that changes under a handler, or a button coming up, is not an operator action
  // to refuse.
  if (e != UiEvent::Release && e != UiEvent::Change && blocked()) return;
  if (onEvent) onEvent(c, e);
}

void MainWindow::connectEvents() {
  for (int i = 0; i < kControlCount; ++i) {
    const auto c = static_cast<Control>(i);
    auto* button = qobject_cast<QAbstractButton*>(control(c));
    if (button == nullptr) continue;
    if (button->isCheckable()) {
      // A tick changes by the mouse, the keyboard or assistive technology (whose "Toggle" gives
      // no click): each change by the operator's hand is one Click, the program's own none.
      connect(button, &QAbstractButton::toggled, this, [this, c, button](bool on) {
        if (settingTick_) return;
        if (blocked() || c == Control::PortEncEstatOpc) {
          // Input is refused while the host exchange runs, and the encoder's dot only shows
          // whether the monitor is on: the tick goes back as it was.
          const QScopedValueRollback<bool> setting(settingTick_, true);
          button->setChecked(!on);
          return;
        }
        report(c, UiEvent::Click);
      });
      continue;
    }
    connect(button, &QAbstractButton::clicked, this, [this, c] { report(c, UiEvent::Click); });
    if (c == Control::Horari || c == Control::antiHorari) {
      connect(button, &QAbstractButton::pressed, this, [this, c] { report(c, UiEvent::Press); });
      connect(button, &QAbstractButton::released, this, [this, c] { report(c, UiEvent::Release); });
    }
  }
  auto* offsetBox = static_cast<QLineEdit*>(control(Control::offset_mida));
  connect(offsetBox, &QLineEdit::textChanged, this,
          [this] { report(Control::offset_mida, UiEvent::Change); });

  for (Control c : {Control::Text1, Control::Picture3, Control::Image_clara_gran, Control::Image_clara_igual,
                    Control::Image_clara_petita, Control::Image_fosca_gran, Control::Image_fosca_igual,
                    Control::Image_fosca_petita}) {
    control(c)->installEventFilter(this);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  const Control c = controlOf(watched);
  switch (event->type()) {
    case QEvent::MouseButtonDblClick:
      if (c == Control::Text1) report(c, UiEvent::DoubleClick);
      break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
      // A choice reached by the keyboard shows its dark picture, as under the pointer; leaving it
      // brings the light one back unless the pointer is still there.
      for (const auto& [choice, light] : kLensChoices) {
        if (c != choice) continue;
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (event->type() == QEvent::FocusIn &&
            (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)) {
          control(choice)->raise();
        } else if (event->type() == QEvent::FocusOut && !control(choice)->underMouse()) {
          control(light)->raise();
        }
      }
      break;
    case QEvent::Enter:
      if (c == Control::Image_clara_gran || c == Control::Image_clara_igual ||
          c == Control::Image_clara_petita) {
        report(c, UiEvent::Hover);
      }
      break;
    case QEvent::MouseMove:
      if (c == Control::Picture3) report(c, UiEvent::MouseMove);
      break;
    default:
      break;
  }
  return false;
}

void MainWindow::lensPanelFolded(bool folded) {
  QWidget* panel = control(Control::Picture3);
  if (panel->testAttribute(Qt::WA_ForceDisabled) == folded) return;
  if (folded) {
    // Back to the send button the choice came from, rather than wherever the chain leads.
    if (panel->isAncestorOf(QApplication::focusWidget())) control(Control::interpola)->setFocus();
    panel->setEnabled(false);
    return;
  }
  // The panel asks for a choice: the keyboard starts on the first one (shown as chosen only when
  // the keyboard brought the panel up).
  panel->setEnabled(true);
  control(Control::Image_fosca_gran)->setFocus(keyboardLast_ ? Qt::TabFocusReason : Qt::OtherFocusReason);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  // A trace file is taken when a read could start now; never during a read or an exchange.
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().size() == 1 &&
      event->mimeData()->urls().front().isLocalFile() && isEnabled(Control::historialBtn) && !blocked())
    event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile() || !isEnabled(Control::historialBtn) || blocked())
    return;
  event->acceptProposedAction();
  if (onFileDropped) onFileDropped(std::filesystem::path(urls.front().toLocalFile().toStdU16String()));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (blocked()) {
    event->ignore();
    return;
  }
  if (!onEvent) {
    event->accept();
    return;
  }
  // The program decides: it may save and quit, hide, or refuse while the host holds the port.
  event->ignore();
  report(Control::Form1, UiEvent::Close);
}

// --- Window ----------------------------------------------------------------------------------

void MainWindow::setEnabled(Control c, bool on) {
  control(c)->setEnabled(on);
  // The history loads a shape in place of a read: it is offered exactly when a read is.
  if (c == Control::llegirBtn) control(Control::historialBtn)->setEnabled(on);
}

bool MainWindow::isEnabled(Control c) const {
  // The control's own setting, whatever its container says.
  return !control(c)->testAttribute(Qt::WA_ForceDisabled);
}

void MainWindow::setVisible(Control c, bool on) {
  if (c == Control::Form1) {
    QWidget::setVisible(on);
    return;
  }
  control(c)->setVisible(on);
  if (c == Control::offsetTxt) placePortLabel();
}

bool MainWindow::isVisible(Control c) const { return !control(c)->isHidden(); }

void MainWindow::setText(Control c, std::string_view text) {
  const QString s = toQString(text);
  QWidget* w = control(c);
  if (c == Control::Form1) {
    setWindowTitle(s);
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(s);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(s);
    if (c == Control::port_oma_info_lbl) placePortLabel();
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    button->setText(s);
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    group->setTitle(s);
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(w)) {
    area->setPlainText(s);
  }
}

std::string MainWindow::text(Control c) const {
  QWidget* w = control(c);
  QString s;
  if (c == Control::Form1) {
    s = windowTitle();
  } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    s = edit->text();
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    s = label->text();
  } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    s = button->text();
  } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
    s = group->title();
  } else if (auto* area = qobject_cast<QPlainTextEdit*>(w)) {
    s = area->toPlainText();
  }
  return s.toStdString();
}

void MainWindow::setChecked(Control c, bool on) {
  // The program's own tick runs no handler: only the operator's does.
  const QScopedValueRollback<bool> setting(settingTick_, true);
  if (auto* button = qobject_cast<QAbstractButton*>(control(c))) button->setChecked(on);
}

bool MainWindow::isChecked(Control c) const {
  auto* button = qobject_cast<QAbstractButton*>(control(c));
  return button != nullptr && button->isChecked();
}

void MainWindow::setForeColor(Control c, Rgb colour) {
  colours_[static_cast<std::size_t>(c)] = colour;
  QWidget* w = control(c);
  if (c == Control::monitorEncoderShp) {
    // The round shape blinks by its fill: black is its resting look, any other colour fills it.
    const QString fill =
        colour == kBlack ? QStringLiteral("#d8dde3") : QColor(colour.r, colour.g, colour.b).name();
    w->setStyleSheet("border: 1px solid #404850; border-radius: 9px; background: " + fill + ";");
    return;
  }
  QPalette palette = w->palette();
  const QColor qc(colour.r, colour.g, colour.b);
  palette.setColor(QPalette::WindowText, qc);
  palette.setColor(QPalette::Text, qc);
  palette.setColor(QPalette::ButtonText, qc);
  w->setPalette(palette);
}

Rgb MainWindow::foreColor(Control c) const { return colours_[static_cast<std::size_t>(c)]; }

void MainWindow::setPasswordMode(Control c, bool on) {
  if (auto* edit = qobject_cast<QLineEdit*>(control(c)))
    edit->setEchoMode(on ? QLineEdit::Password : QLineEdit::Normal);
}

bool MainWindow::passwordMode(Control c) const {
  auto* edit = qobject_cast<QLineEdit*>(control(c));
  return edit != nullptr && edit->echoMode() == QLineEdit::Password;
}

void MainWindow::setValue(Control c, int value) {
  if (auto* bar = qobject_cast<QProgressBar*>(control(c))) bar->setValue(value);
}

int MainWindow::value(Control c) const {
  auto* bar = qobject_cast<QProgressBar*>(control(c));
  return bar != nullptr ? bar->value() : 0;
}

int MainWindow::heightTwips(Control c) const { return geometry_[static_cast<std::size_t>(c)].height; }

void MainWindow::setHeightTwips(Control c, int twips) {
  geometry_[static_cast<std::size_t>(c)].height = twips;
  applyGeometry(c);
}

int MainWindow::topTwips(Control c) const { return geometry_[static_cast<std::size_t>(c)].top; }

void MainWindow::setTopTwips(Control c, int twips) {
  geometry_[static_cast<std::size_t>(c)].top = twips;
  applyGeometry(c);
}

void MainWindow::bringToFront(Control c) { control(c)->raise(); }

void MainWindow::repaint(Control c) {
  if (c == Control::Picture1) {
    plot_->repaintNow();
  } else {
    control(c)->repaint();
  }
}

int MainWindow::runBox(std::string_view text, std::string_view title, int buttons) {
  // The carriage return of the system's texts is a line break on screen.
  QString shown = toQString(text);
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::Information, toQString(title), shown, QMessageBox::StandardButtons(buttons),
                  this);
  box.button(QMessageBox::Ok)->setText(toQString(texts::kOk));
  if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) cancel->setText(toQString(texts::kCancel));
  return box.exec();
}

void MainWindow::messageBox(std::string_view text, std::string_view title) {
  if (showMessage) {
    showMessage(text, title);
    return;
  }
  runBox(text, title, QMessageBox::Ok);
}

bool MainWindow::askOkCancel(std::string_view text, std::string_view title) {
  return runBox(text, title, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

char MainWindow::decimalSeparator() const {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 128) return static_cast<char>(point.at(0).unicode());
  return '.';
}

}  // namespace kovrel
