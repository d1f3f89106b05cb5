#pragma once
// The ports window (`Puertos`) on screen: a message, a wait label and two buttons that come and
// go as the set-up moves on. Not modal: the main window stays usable beside it. What a click or
// a close means is decided by the set-up the owner connects.

#include <QWidget>
#include <array>
#include <functional>

#include "links/link_choice.h"
#include "ports/port_setup.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace kovrel {

class PuertosWindow : public QWidget, public PortsWindow {
  Q_OBJECT

 public:
  explicit PuertosWindow(QWidget* parent = nullptr);

  using QWidget::isEnabled;
  using QWidget::isVisible;
  using QWidget::setEnabled;
  using QWidget::setVisible;

  void setText(PortsControl c, std::string_view text) override;
  std::string text(PortsControl c) const override;
  void setVisible(PortsControl c, bool on) override;
  bool isVisible(PortsControl c) const override;
  void setEnabled(PortsControl c, bool on) override;
  bool isEnabled(PortsControl c) const override;

  QWidget* control(PortsControl c) const { return controls_[static_cast<std::size_t>(c)]; }

  // The link to the host: shows `current` (the serial port's number in its caption) for the
  // technician to change.
  void showLinkChoice(const LinkChoice& current, int comNumber);
  // The link as the controls now say it.
  LinkChoice linkChoice() const;
  // "Usar este enlace": the owner sets the link up and answers why not ("" when it was taken);
  // the reason, or the confirmation, shows under the choice.
  std::function<std::string(const LinkChoice&)> onChooseLink;
  // Presses "Usar este enlace" (tests and screenshots).
  void useLink();
  std::string linkMessage() const;

  std::function<void(PortsControl)> onClick;  // aceptarBtn, instruccionsBtn
  std::function<void()> onClose;              // closed from the window frame

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* makeLinkBox();

  std::array<QWidget*, 4> controls_{};
  QComboBox* linkKind_ = nullptr;
  QStackedWidget* linkPages_ = nullptr;
  QLineEdit* tcpAddress_ = nullptr;
  QSpinBox* tcpPort_ = nullptr;
  QRadioButton* tcpConnect_ = nullptr;
  QRadioButton* tcpWait_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QLabel* linkMessage_ = nullptr;
};

}  // namespace kovrel
