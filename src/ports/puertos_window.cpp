#include "ports/puertos_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
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
  all->addWidget(makeLinkBox());
  all->addLayout(buttons);

  connect(accept, &QPushButton::clicked, this, [this] {
    if (onClick) onClick(PortsControl::aceptarBtn);
  });
  connect(instructions, &QPushButton::clicked, this, [this] {
    if (onClick) onClick(PortsControl::instruccionsBtn);
  });
}

// Each control's spoken name starts with its caption, so a screen reader says what the eye reads.
template <typename W>
W* named(W* widget, const QString& caption, const char* objectName, QLabel* buddy = nullptr) {
  widget->setObjectName(objectName);
  widget->setAccessibleName(caption);
  if (buddy != nullptr) buddy->setBuddy(widget);
  return widget;
}

QWidget* PuertosWindow::makeLinkBox() {
  auto* box = new QGroupBox(QStringLiteral("Enlace con el programa del host"), this);
  auto* form = new QVBoxLayout(box);
  auto* kindLabel = new QLabel(QStringLiteral("&Enlace:"), box);
  linkKind_ = named(new QComboBox(box), QStringLiteral("Enlace"), "enlaceCmb", kindLabel);
  linkKind_->addItems(
      {QStringLiteral("Puerto serie virtual"), QStringLiteral("Red TCP"), QStringLiteral("Carpeta")});
  auto* kindRow = new QHBoxLayout;
  kindRow->addWidget(kindLabel);
  kindRow->addWidget(linkKind_, 1);
  form->addLayout(kindRow);

  linkPages_ = new QStackedWidget(box);
  auto* serialNote =
      new QLabel(QStringLiteral("El host abre el puerto serie virtual de Kovrel."), linkPages_);
  serialNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // each page from the top, as the TCP one
  linkPages_->addWidget(serialNote);
  auto* tcpPage = new QWidget(linkPages_);
  auto* tcpForm = new QFormLayout(tcpPage);
  auto* addressLabel = new QLabel(QStringLiteral("&Dirección del host:"), tcpPage);
  tcpAddress_ =
      named(new QLineEdit(tcpPage), QStringLiteral("Dirección del host"), "direccionTxt", addressLabel);
  tcpAddress_->setMaxLength(253);
  tcpAddress_->setPlaceholderText(QStringLiteral("192.168.1.20"));
  auto* portLabel = new QLabel(QStringLiteral("&Puerto TCP:"), tcpPage);
  tcpPort_ = named(new QSpinBox(tcpPage), QStringLiteral("Puerto TCP"), "puertoTcpSpn", portLabel);
  tcpPort_->setRange(1, 65535);
  tcpPort_->setValue(5000);
  tcpConnect_ = named(new QRadioButton(QStringLiteral("Kovrel &conecta con el host"), tcpPage),
                      QStringLiteral("Kovrel conecta con el host"), "conectaOpt");
  tcpWait_ = named(new QRadioButton(QStringLiteral("Kovrel espera al &host (solo este equipo)"), tcpPage),
                   QStringLiteral("Kovrel espera al host (solo este equipo)"), "esperaOpt");
  tcpConnect_->setChecked(true);
  tcpForm->addRow(addressLabel, tcpAddress_);
  tcpForm->addRow(portLabel, tcpPort_);
  tcpForm->addRow(tcpConnect_);
  tcpForm->addRow(tcpWait_);
  connect(tcpWait_, &QRadioButton::toggled, tcpAddress_,
          [this](bool waiting) { tcpAddress_->setEnabled(!waiting); });
  linkPages_->addWidget(tcpPage);
  auto* folderPage = new QWidget(linkPages_);
  auto* folderColumn = new QVBoxLayout(folderPage);
  auto* folderRow = new QHBoxLayout;
  folderColumn->addLayout(folderRow);
  folderColumn->addStretch();
  auto* folderLabel = new QLabel(QStringLiteral("Ca&rpeta:"), folderPage);
  folder_ = named(new QLineEdit(folderPage), QStringLiteral("Carpeta"), "carpetaTxt", folderLabel);
  auto* browse = named(new QPushButton(QStringLiteral("E&xaminar..."), folderPage),
                       QStringLiteral("Examinar carpeta"), "examinarBtn");
  folderRow->addWidget(folderLabel);
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(browse);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Carpeta del host"), folder_->text());
    if (!chosen.isEmpty()) folder_->setText(chosen);
  });
  linkPages_->addWidget(folderPage);
  form->addWidget(linkPages_);
  connect(linkKind_, &QComboBox::currentIndexChanged, linkPages_, &QStackedWidget::setCurrentIndex);

  auto* use = named(new QPushButton(QStringLiteral("&Usar este enlace"), box),
                    QStringLiteral("Usar este enlace"), "usarEnlaceBtn");
  linkMessage_ = new QLabel(box);
  linkMessage_->setObjectName("enlaceLbl");
  linkMessage_->setWordWrap(true);
  auto* useRow = new QHBoxLayout;
  useRow->addWidget(linkMessage_, 1);
  useRow->addWidget(use);
  form->addLayout(useRow);
  connect(use, &QPushButton::clicked, this, [this] { useLink(); });
  return box;
}

void PuertosWindow::showLinkChoice(const LinkChoice& current, int comNumber) {
  linkKind_->setItemText(0, QStringLiteral("Puerto serie virtual (COM %1)").arg(comNumber));
  linkKind_->setCurrentIndex(current.kind == LinkKind::Serial ? 0 : current.kind == LinkKind::Folder ? 2 : 1);
  tcpAddress_->setText(q(current.address));
  if (current.port > 0) tcpPort_->setValue(current.port);
  (current.kind == LinkKind::TcpListen ? tcpWait_ : tcpConnect_)->setChecked(true);
  folder_->setText(q(current.folder));
  linkMessage_->clear();
}

LinkChoice PuertosWindow::linkChoice() const {
  LinkChoice c;
  const int kind = linkKind_->currentIndex();
  c.kind = kind == 0               ? LinkKind::Serial
           : kind == 2             ? LinkKind::Folder
           : tcpWait_->isChecked() ? LinkKind::TcpListen
                                   : LinkKind::TcpConnect;
  if (c.kind == LinkKind::TcpConnect) c.address = tcpAddress_->text().trimmed().toStdString();
  if (c.kind == LinkKind::TcpConnect || c.kind == LinkKind::TcpListen) c.port = tcpPort_->value();
  if (c.kind == LinkKind::Folder) c.folder = folder_->text().trimmed().toStdString();
  return c;
}

void PuertosWindow::useLink() {
  if (!onChooseLink) return;
  const std::string refusal = onChooseLink(linkChoice());
  linkMessage_->setText(refusal.empty() ? QStringLiteral("Enlace en uso: %1").arg(linkKind_->currentText())
                                        : QStringLiteral("No se puede usar: ") + q(refusal));
}

std::string PuertosWindow::linkMessage() const { return linkMessage_->text().toStdString(); }

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
