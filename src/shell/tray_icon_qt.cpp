#include "shell/tray_icon_qt.h"

#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

#include "shell/shell_texts.h"

namespace kovrel {
namespace {

QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A lens outline, the program's subject, readable at tray size.
QIcon lensIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(0, 0, 160), 3));
  painter.setBrush(QColor(200, 225, 255));
  painter.drawEllipse(QRectF(3, 7, 26, 18));
  return QIcon(pixmap);
}

}  // namespace

TrayIcon::TrayIcon(QWidget& window, Hooks hooks) : window_(window), hooks_(std::move(hooks)) {
  if (!(hooks_.trayAvailable ? hooks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable())) return;
  menu_ = std::make_unique<QMenu>();
  connect(menu_->addAction(toQString(texts::kTrayShow)), &QAction::triggered, this, [this] {
    if (hooks_.show) hooks_.show();
  });
  connect(menu_->addAction(toQString(texts::kTrayExit)), &QAction::triggered, this, [this] {
    if (hooks_.exit) hooks_.exit();
  });
  icon_ = new QSystemTrayIcon(lensIcon(), this);
  icon_->setToolTip(window_.windowTitle());
  icon_->setContextMenu(menu_.get());
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason != QSystemTrayIcon::Context && hooks_.show) hooks_.show();
  });
  window_.installEventFilter(this);
}

TrayIcon::~TrayIcon() {
  if (icon_ != nullptr) window_.removeEventFilter(this);
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_) {
    if (event->type() == QEvent::Hide && !window_.isMinimized() && !(hooks_.leaving && hooks_.leaving())) {
      icon_->show();
    } else if (event->type() == QEvent::Show) {
      icon_->hide();
    }
  }
  return false;
}

}  // namespace kovrel
