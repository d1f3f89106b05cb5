#pragma once
// Configuracio on screen: the thirteen fields with their labels, the two calculators,
// "Guardar/Reiniciar" and "Sortir". The window only shows and forwards; Configuracio decides.

#include <QWidget>
#include <array>

#include "settings/config_view.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kovrel {

class ConfigWindow : public QWidget, public ConfigView {
  Q_OBJECT

 public:
  explicit ConfigWindow(QWidget* parent = nullptr);

  void setField(ConfigField f, std::string_view text) override;
  std::string field(ConfigField f) const override;
  void showProblem(std::string_view text) override;
  void open(bool modal) override;
  void close() override { hide(); }
  bool isOpen() const override { return isVisible(); }
  char decimalSeparator() const override;

  QLineEdit* fieldWidget(ConfigField f) const { return fields_[static_cast<std::size_t>(f)]; }
  QPushButton* button(ConfigButton b) const { return buttons_[static_cast<std::size_t>(b)]; }
  QLabel* problemLabel() const { return problem_; }

 private:
  std::array<QLineEdit*, kConfigFieldCount> fields_{};
  std::array<QPushButton*, 4> buttons_{};
  QLabel* problem_ = nullptr;
};

}  // namespace kovrel
