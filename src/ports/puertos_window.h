#pragma once
// The ports window (`Puertos`) on screen: a message, a wait label and two buttons that come and
// go as the set-up moves on. Not modal: the main window stays usable beside it. What a click or
// a close means is decided by the set-up the owner connects.

#include <QWidget>
#include <array>
#include <functional>

#include "ports/port_setup.h"

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

  std::function<void(PortsControl)> onClick;  // aceptarBtn, instruccionsBtn
  std::function<void()> onClose;              // closed from the window frame

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::array<QWidget*, 4> controls_{};
};

}  // namespace kovrel
