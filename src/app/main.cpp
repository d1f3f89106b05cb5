#include <QApplication>

#include "app/kovrel_app.h"
#include "shell/termination.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The exit button decides when the program ends: in automatic mode the window only hides.
  QApplication::setQuitOnLastWindowClosed(false);

  kovrel::KovrelApp app;
  // Logout or Ctrl+C: leave through the event loop, settings saved, the host's port removed.
  kovrel::TerminationSignals termination([&app](int) { app.shutdown(); });
  if (!app.start() || app.quitRequested()) return 0;
  app.window().show();
  return QApplication::exec();
}
