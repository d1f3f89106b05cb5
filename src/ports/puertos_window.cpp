#include "ports/puertos_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "ports/port_texts.h"

namespace kovrel {
namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The frame's picture: a USB plug beside a serial connector, the two ports the set-up joins.
QPixmap portsPicture(int size) {
  QPixmap pixmap(size * 2, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QColor ink(30, 50, 90);
  p.setPen(QPen(ink, 2));
  p.setBrush(QColor(150, 170, 205));
  p.drawRoundedRect(QRectF(s * 0.1, s * 0.3, s * 0.55, s * 0.4), 3, 3);  // the plug's body
  p.setBrush(QColor(220, 225, 232));
  p.drawRect(QRectF(s * 0.65, s * 0.38, s * 0.25, s * 0.24));  // its metal end
  p.drawLine(QPointF(s * 0.9, s * 0.5), QPointF(s * 1.1, s * 0.5));
  // The serial connector: a trapezoid with its two rows of pins.
  p.setBrush(QColor(150, 170, 205));
  p.drawPolygon(QPolygonF{QPointF(s * 1.1, s * 0.25), QPointF(s * 1.9, s * 0.25), QPointF(s * 1.8, s * 0.75),
                          QPointF(s * 1.2, s * 0.75)});
  p.setBrush(ink);
  for (int k = 0; k < 5; ++k) p.drawEllipse(QPointF(s * (1.26 + k * 0.12), s * 0.42), s * 0.03, s * 0.03);
  for (int k = 0; k < 4; ++k) p.drawEllipse(QPointF(s * (1.32 + k * 0.12), s * 0.58), s * 0.03, s * 0.03);
  return pixmap;
}

}  // namespace

PuertosWindow::PuertosWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Puertos");
  setWindowTitle(q(texts::kPortsTitle));

  auto* frame = new QGroupBox(q(texts::kPortsFrame), this);
  auto* picture = new QLabel(frame);
  picture->setPixmap(portsPicture(48));
  auto* message = new QLabel(frame);
  message->setObjectName("TextLbl");
  message->setWordWrap(true);
  message->setMinimumWidth(360);
  message->setMinimumHeight(64);
  auto* wait = new QLabel(q(texts::kPortsWait), frame);
  wait->setObjectName("espereLbl");
  auto* accept = new QPushButton(q(texts::kPortsAccept), this);
  accept->setObjectName("aceptarBtn");
  auto* instructions = new QPushButton(q(texts::kPortsInstructions), this);
  instructions->setObjectName("instruccionsBtn");
  controls_ = {message, wait, accept, instructions};

  auto* inFrame = new QHBoxLayout(frame);
  inFrame->addWidget(picture, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  texts->addWidget(message);
  texts->addWidget(wait);
  inFrame->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(accept);
  buttons->addWidget(instructions);
  auto* all = new QVBoxLayout(this);
  all->addWidget(frame);
  all->addLayout(buttons);

  connect(accept, &QPushButton::clicked, this, [this] {
    if (onClick) onClick(PortsControl::aceptarBtn);
  });
  connect(instructions, &QPushButton::clicked, this, [this] {
    if (onClick) onClick(PortsControl::instruccionsBtn);
  });
}

void PuertosWindow::setText(PortsControl c, std::string_view text) {
  QWidget* w = control(c);
  if (auto* label = qobject_cast<QLabel*>(w)) label->setText(q(text));
  if (auto* button = qobject_cast<QPushButton*>(w)) button->setText(q(text));
}

std::string PuertosWindow::text(PortsControl c) const {
  QWidget* w = control(c);
  if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
  if (auto* button = qobject_cast<QPushButton*>(w)) return button->text().toStdString();
  return {};
}

void PuertosWindow::setVisible(PortsControl c, bool on) { control(c)->setVisible(on); }
bool PuertosWindow::isVisible(PortsControl c) const { return !control(c)->isHidden(); }
void PuertosWindow::setEnabled(PortsControl c, bool on) { control(c)->setEnabled(on); }
bool PuertosWindow::isEnabled(PortsControl c) const {
  return !control(c)->testAttribute(Qt::WA_ForceDisabled);
}

void PuertosWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (onClose) onClose();
}

}  // namespace kovrel
