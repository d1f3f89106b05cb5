#include <QApplication>

#include "app/kovrel_app.h"
#include "app/platform.h"
#include "shell/termination.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The exit button decides when the program ends: in automatic mode the window only hides.
  QApplication::setQuitOnLastWindowClosed(false);

  // One running copy: held until this process ends.
  const auto singleCopy = kovrel::holdSingleCopy();
  kovrel::KovrelApp::Options options;
  options.activatePrevInstance = [&singleCopy] { return singleCopy->heldElsewhere(); };

  kovrel::KovrelApp app(std::move(options));
  // Logout or Ctrl+C: leave through the event loop, settings saved, the host's port removed.
  kovrel::TerminationSignals termination([&app](int) { app.shutdown(); });
  if (!app.start() || app.quitRequested()) return 0;
  app.window().show();
  return QApplication::exec();
}
