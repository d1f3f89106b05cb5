#include "ports/instruccions_window.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ports/guidance.h"
#include "ports/port_texts.h"

namespace kovrel {
namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

InstruccionsWindow::InstruccionsWindow(int code, QWidget* parent) : QDialog(parent) {
  setObjectName("instruccionsFrm");
  setWindowTitle(q(texts::kInstructionsTitle));
  setModal(true);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName("instruccionsTxt");
  text_->setReadOnly(true);
  // The text keeps its CR LF breaks; the box breaks lines on LF alone.
  text_->setPlainText(q(guidanceText(code)).replace("\r\n", "\n"));
  text_->setMinimumSize(720, 420);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  if (const auto hint = platformGuidanceHint(); !hint.empty()) {
    auto* line = new QLabel(q(hint), this);
    line->setObjectName("platformHintLbl");
    line->setWordWrap(true);
    line->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(line);
  }
  auto* acceptButton = new QPushButton(q(texts::kPortsAccept), this);
  acceptButton->setObjectName("aceptar_instruccionsBtn");
  layout->addWidget(acceptButton, 0, Qt::AlignRight);
  connect(acceptButton, &QPushButton::clicked, this, [this] {
    if (onAccept) onAccept();
    QDialog::accept();
  });
}

}  // namespace kovrel
