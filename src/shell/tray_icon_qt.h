#pragma once
// The tray icon of automatic mode: while the main window is hidden (the exit button or a send in
// automatic mode hid it) an icon in the desktop's system tray shows that the program still runs
// and offers to show it or to leave. Where the desktop has no tray nothing changes.

#include <QObject>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace kovrel {

class TrayIcon : public QObject {
 public:
  struct Hooks {
    std::function<void()> show;           // "Mostrar Kovrel"
    std::function<void()> exit;           // "Salir"
    std::function<bool()> leaving;        // the window hides because the program ends: no icon
    std::function<bool()> trayAvailable;  // whether the desktop has a tray; the system's answer when empty
  };

  TrayIcon(QWidget& window, Hooks hooks);
  ~TrayIcon() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  Hooks hooks_;
  std::unique_ptr<QMenu> menu_;
  QSystemTrayIcon* icon_ = nullptr;  // child of this object
};

}  // namespace kovrel
