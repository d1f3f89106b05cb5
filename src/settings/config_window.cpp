#include "settings/config_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <tuple>

#include "settings/config_texts.h"

namespace kovrel {
namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Where each field sits: row and column of its label (the field follows it), top to bottom and
// left to right as the technicians know the window.
struct Place {
  ConfigField field;
  int row, column;
};
constexpr Place kPlaces[] = {
    {ConfigField::conf_graus_txt, 0, 0},       {ConfigField::conf_radi_txt, 0, 4},
    {ConfigField::conf_cohere_txt, 1, 0},      {ConfigField::conf_polsos_txt, 2, 0},
    {ConfigField::conf_polsosini_txt, 2, 4},   {ConfigField::conf_carrera_txt, 3, 4},
    {ConfigField::obertura_txt, 4, 0},         {ConfigField::filtre_conf_txt, 4, 4},
    {ConfigField::com1_conf_txt, 5, 0},        {ConfigField::com2_conf_txt, 5, 4},
    {ConfigField::conf_radCent_txt, 6, 0},     {ConfigField::calibra_centre_txt, 6, 4},
    {ConfigField::cicle_calibracio_txt, 7, 4},
};

// The travel has no label of its own: it is named by what it is.
constexpr std::string_view kTravelName = "INI - FI";
// A button whose caption is a sign is named by the sign, as it is seen, then by what it does.
constexpr std::string_view kAnglePerPulseName = "<, calcular º/p";
constexpr std::string_view kTravelButtonName = "=, calcular INI - FI";
// The two small buttons without a caption, by what they sit beside (they are always disabled).
constexpr std::string_view kCaptureFiName = "Capturar FI";
constexpr std::string_view kCaptureIniName = "Capturar INI";
constexpr std::string_view kProblemPurpose = "Aviso";

}  // namespace

ConfigWindow::ConfigWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Configuracio");
  setWindowTitle(q(texts::kConfigCaption));
  auto* grid = new QGridLayout(this);
  for (const Place& place : kPlaces) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(q(kovrel::objectName(place.field)));
    edit->setMinimumWidth(150);
    fields_[static_cast<std::size_t>(place.field)] = edit;
    if (!labelOf(place.field).empty()) {
      // The label names its field: a screen reader announces the field as "FI", as it is seen.
      auto* label = new QLabel(q(labelOf(place.field)), this);
      label->setBuddy(edit);
      grid->addWidget(label, place.row, place.column);
    } else {
      edit->setAccessibleName(q(kTravelName));  // the travel, on the row of "FI" and "INI"
    }
    grid->addWidget(edit, place.row, place.column + 1);
  }
  auto makeButton = [this](ConfigButton b, const char* name, std::string_view caption,
                           std::string_view spoken = {}) {
    auto* button = new QPushButton(q(caption), this);
    button->setObjectName(name);
    if (!spoken.empty()) button->setAccessibleName(q(spoken));
    buttons_[static_cast<std::size_t>(b)] = button;
    connect(button, &QPushButton::clicked, this, [this, b] {
      if (onClick) onClick(b);
    });
    return button;
  };
  grid->addWidget(makeButton(ConfigButton::calc_opols_btn, "calc_opols_btn", texts::kAnglePerPulseButton,
                             kAnglePerPulseName),
                  0, 2);
  grid->addWidget(
      makeButton(ConfigButton::conf_carrera_btn, "conf_carrera_btn", texts::kTravelButton, kTravelButtonName),
      3, 6);
  // The capture buttons beside "FI" and "INI" have no action: they stay disabled so that no
  // enabled button does nothing.
  for (auto [name, spoken, row, column] : {std::tuple{"capturafi_btn", kCaptureFiName, 2, 2},
                                           std::tuple{"capturaini_btn", kCaptureIniName, 2, 6}}) {
    auto* idle = new QPushButton(this);
    idle->setObjectName(name);
    idle->setAccessibleName(q(spoken));
    idle->setFixedWidth(24);
    idle->setEnabled(false);
    grid->addWidget(idle, row, column);
  }
  problem_ = new QLabel(this);
  problem_->setObjectName("avisLbl");
  problem_->setStyleSheet("color: #c00000;");
  problem_->setWordWrap(true);
  problem_->setTextFormat(Qt::PlainText);
  problem_->setAccessibleDescription(q(kProblemPurpose));  // read as its text, the reason
  grid->addWidget(problem_, 8, 0, 1, 7);
  grid->addWidget(makeButton(ConfigButton::Guardar, "Guardar", texts::kSaveButton), 9, 0, 1, 3);
  grid->addWidget(makeButton(ConfigButton::Sortir, "Sortir", texts::kCloseButton), 9, 4, 1, 3);
}

void ConfigWindow::setField(ConfigField f, std::string_view text) {
  fieldWidget(f)->setText(q(text));
  fieldWidget(f)->setCursorPosition(0);  // a long angle per pulse shows its leading digits
}

std::string ConfigWindow::field(ConfigField f) const { return fieldWidget(f)->text().toStdString(); }

void ConfigWindow::showProblem(std::string_view text) { problem_->setText(q(text)); }

void ConfigWindow::open(bool modal) {
  if (!isVisible()) {
    // The modality of a shown window cannot change; it is chosen by the request that opens it.
    setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    show();
  }
  raise();
  activateWindow();
}

char ConfigWindow::decimalSeparator() const {
  const QString point = QLocale::system().decimalPoint();
  if (point.size() == 1 && point.at(0).unicode() < 128) return static_cast<char>(point.at(0).unicode());
  return '.';
}

}  // namespace kovrel
