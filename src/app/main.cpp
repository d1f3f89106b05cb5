#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/kovrel_app.h"
#include "app/platform.h"
#include "shell/termination.h"
#include "shell/wake_channel.h"

namespace {

// The two questions a packager or a technician asks of the program before starting it. They only
// report: everything the program does is set in trac_conf.cfg, never on the command line.
constexpr std::string_view kHelp =
    "Uso: kovrel [--version | --help]\n"
    "\n"
    "Kovrel lee la forma de la lente del trazador por su puerto serie USB y la envía al programa\n"
    "del laboratorio por un puerto serie virtual (OMA/VCA).\n"
    "\n"
    "  --version  muestra la versión y termina\n"
    "  --help     muestra este texto y termina\n"
    "\n"
    "Kovrel no tiene otras opciones: toda su configuración está en el archivo trac_conf.cfg\n"
    "(puertos COM, calibración del brazo, offset general). Las opciones propias de Qt, como\n"
    "-platform, pasan a Qt.\n";

// True when the arguments ask one of the two questions; the answer is on standard output.
bool answeredFromCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      std::printf("kovrel %s\n", KOVREL_VERSION);
      return true;
    }
    if (arg == "--help") {
      std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Before QApplication: the answer needs no display and touches no settings or port.
  if (answeredFromCommandLine(argc, argv)) return 0;

  QApplication application(argc, argv);
  // Desktops match the window to its menu entry by this name (Wayland's app id); on X11 the
  // window's class, "kovrel" from the program's name, is the entry's StartupWMClass.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.kovrel.Kovrel"));
  // The exit button decides when the program ends: in automatic mode the window only hides.
  QApplication::setQuitOnLastWindowClosed(false);

  // One running copy: held until this process ends.
  const auto singleCopy = kovrel::holdSingleCopy();
  kovrel::KovrelApp::Options options;
  options.activatePrevInstance = [&singleCopy] { return singleCopy->heldElsewhere(); };
  options.wakeName = kovrel::userWakeName();

  kovrel::KovrelApp app(std::move(options));
  // Logout or Ctrl+C: leave through the event loop, settings saved, the host's port removed.
  kovrel::TerminationSignals termination([&app](int) { app.shutdown(); });
  if (!app.start() || app.quitRequested()) return 0;
  app.window().show();
  return QApplication::exec();
}
