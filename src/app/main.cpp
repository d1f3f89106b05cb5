#include <QApplication>

#include "app/kovrel_app.h"
#include "ports/com_registry.h"
#include "shell/instance_lock.h"
#include "shell/termination.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The exit button decides when the program ends: in automatic mode the window only hides.
  QApplication::setQuitOnLastWindowClosed(false);

  // One running copy per user: the lock lives in the folder where the virtual port's COM name is
  // published, and is held until this process ends.
  const kovrel::InstanceLock lock(kovrel::systemComFolders().links);
  kovrel::KovrelApp::Options options;
  options.activatePrevInstance = [&lock] { return lock.heldElsewhere(); };

  kovrel::KovrelApp app(std::move(options));
  // Logout or Ctrl+C: leave through the event loop, settings saved, the host's port removed.
  kovrel::TerminationSignals termination([&app](int) { app.shutdown(); });
  if (!app.start() || app.quitRequested()) return 0;
  app.window().show();
  return QApplication::exec();
}
