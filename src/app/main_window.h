#pragma once
// Form1 on screen: every control the handlers know by name, laid out in twips like the window
// the operators and service technicians are used to, with the shape plot at true size. The
// window only shows and forwards: what a click or a hover means is decided by the handlers the
// composition root connects to `onEvent`.

#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>

#include "base/window.h"

class QLineEdit;

namespace kovrel {

class PlotWidget;

// What the operator did to a control.
enum class UiEvent {
  Click,        // button, clickable label or picture; a check box ticked or unticked by the operator
  DoubleClick,  // the information box
  Press,        // a turn button went down
  Release,      // a turn button came up
  Hover,        // the pointer entered a light lens-type picture
  MouseMove,    // the pointer moved over the background of Picture3
  Change,       // the text of offset_mida changed (typed or set by a handler)
  Close,        // the operator closed the window from its frame
};

class MainWindow : public QWidget, public Window {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The widget's own members stay reachable beside the Window ones of the same name.
  using QWidget::isEnabled;
  using QWidget::isVisible;
  using QWidget::repaint;
  using QWidget::setEnabled;
  using QWidget::setVisible;

  // --- Window ----------------------------------------------------------------------------------
  void setEnabled(Control c, bool on) override;
  bool isEnabled(Control c) const override;
  void setVisible(Control c, bool on) override;
  bool isVisible(Control c) const override;
  void setText(Control c, std::string_view text) override;
  std::string text(Control c) const override;
  void setChecked(Control c, bool on) override;
  bool isChecked(Control c) const override;
  void setForeColor(Control c, Rgb colour) override;
  Rgb foreColor(Control c) const override;
  void setPasswordMode(Control c, bool on) override;
  bool passwordMode(Control c) const override;
  void setValue(Control c, int value) override;
  int value(Control c) const override;
  int heightTwips(Control c) const override;
  void setHeightTwips(Control c, int twips) override;
  int topTwips(Control c) const override;
  void setTopTwips(Control c, int twips) override;
  void bringToFront(Control c) override;
  void repaint(Control c) override;
  void messageBox(std::string_view text, std::string_view title) override;
  bool askOkCancel(std::string_view text, std::string_view title);  // true: "Aceptar"
  char decimalSeparator() const override;

  // --- Wiring ----------------------------------------------------------------------------------
  // Every operator action on a control, in the order it happens.
  std::function<void(Control, UiEvent)> onEvent;
  // While it answers true (the host exchange runs) operator actions are swallowed; the window
  // keeps painting and a turn button that comes up still reports it.
  std::function<bool()> inputBlocked;
  // Shows a message; a modal information box unless replaced (tests record instead).
  std::function<void(std::string_view text, std::string_view title)> showMessage;
  // A file dropped on the window while a read could start (the history's "Abrir…" takes it).
  std::function<void(const std::filesystem::path&)> onFileDropped;

  QWidget* control(Control c) const { return controls_[static_cast<std::size_t>(c)]; }
  PlotWidget& plot() const { return *plot_; }

  // Screen pixels for window twips (logical dots per inch).
  int toPixels(double twips) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  int runBox(std::string_view text, std::string_view title, int buttons);  // the button pressed
  struct TwipsRect {
    int left = 0, top = 0, width = 0, height = 0;
  };

  void buildControls();
  void applyGeometry(Control c);
  void applyFormGeometry();
  void connectEvents();
  void report(Control c, UiEvent e);
  bool blocked() const { return inputBlocked && inputBlocked(); }
  Control controlOf(const QObject* object) const;
  // The lens-type panel folded away or slid open: its choices take the keyboard only while open.
  void lensPanelFolded(bool folded);
  void placePortLabel();

  std::array<QWidget*, kControlCount> controls_{};
  std::array<TwipsRect, kControlCount> geometry_{};  // relative to the control's container
  std::array<Rgb, kControlCount> colours_{};
  PlotWidget* plot_ = nullptr;
  // Pixels the true-size plot needs beyond its twips slot: controls right of it and below it
  // move over by this much so nothing overlaps on a dense screen.
  int extraWidth_ = 0;
  int extraHeight_ = 0;
  // True while the program itself sets a tick (no operator action to report).
  bool settingTick_ = false;
  // The operator's last press in the window was a key (not a mouse button): the keyboard focus
  // is then shown as the pointer's hover would be.
  bool keyboardLast_ = false;
};

}  // namespace kovrel
