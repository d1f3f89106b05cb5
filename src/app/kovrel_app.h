#pragma once
// The program put together: the shared state, the main window, the tracer port, the host's
// virtual port, the settings file, the handlers and their timers. One instance lives for the
// whole run; everything else is handed the parts it needs from here.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "app/platform.h"
#include "base/clock.h"
#include "base/shared_state.h"
#include "base/timer.h"
#include "host/virtual_port.h"
#include "links/link_choice.h"
#include "scanner/serial_port.h"

namespace kovrel {

enum class PortsTimer;
class AppShell;
class ArchiveKeeper;
class ArchiveStore;
class HistoryLink;
class Capture;
class CentreCalibration;
class ConfigWindow;
class Configuracio;
class EncoderMonitor;
class PortsFlow;
class ReadCommand;
class SendCommand;
class LinkSwitch;
class WakeChannel;
class SettingsFile;
class ShapeEditor;
class ShapeSizesView;
class SizeOffsets;
class TrayIcon;

// The main window's timers.
enum class AppTimer {
  Timer1,            // lens-type panel opens, 20 ms
  Timer2,            // lens-type panel closes, 20 ms
  Timer_horari,      // clockwise turn repeats while held, 20 ms
  Timer_antiHorari,  // counter-clockwise turn repeats while held, 20 ms
  Poll,              // the host exchange looks at the port and the clock, 50 ms
  TimerEncoder,      // the encoder monitor starts a new period, 10 s
  Timer3,            // port configuration continues, 6 s
};
inline constexpr std::size_t kAppTimerCount = 7;
int intervalMs(AppTimer timer);

class KovrelApp {
 public:
  struct Options {
    // Folder of the program and its settings file; the executable's folder when empty.
    std::filesystem::path programFolder;
    // The archive of kept reads; when empty the user's data folder's "trazados", or, for a
    // program folder given here (tests, benchmarks), its own "trazados".
    std::filesystem::path archiveFolder;
    // The tracer's port and the host's port; this platform's serial port and host port when
    // empty.
    std::unique_ptr<SerialPort> tracerPort;
    std::unique_ptr<VirtualPort> hostPort;
    // The encoder monitor's own port object on the tracer's COM number; a system serial port
    // when empty.
    std::unique_ptr<SerialPort> encoderPort;
    // The system's ports (platform.h); this platform's when empty.
    std::unique_ptr<Platform> platform;
    std::unique_ptr<Clock> clock;  // the wall clock when empty
    // Window timers; QTimer-backed when empty.
    std::function<std::unique_ptr<Timer>(AppTimer)> makeTimer;
    // True when an earlier copy is running (the single-copy lock is held elsewhere): start-up
    // then hands over to it and this copy leaves. Empty means "no other copy".
    std::function<bool()> activatePrevInstance;
    // The local socket a second start wakes this copy on (userWakeName()); none when empty.
    std::string wakeName;
    // A modal OK/Cancel question with the information icon, true for OK; a message box when empty.
    std::function<bool(std::string_view text, std::string_view title)> askOkCancel;
    // The system's major version as text; this platform's answer when empty.
    std::function<std::string()> versio_major;
    // The ports window's timers; QTimer-backed when empty.
    std::function<std::unique_ptr<Timer>(PortsTimer)> makePortsTimer;
    // Ends the event loop; QCoreApplication::quit when empty.
    std::function<void()> quit;
    // Whether the desktop has a system tray for automatic mode's icon; the system's answer when empty.
    std::function<bool()> systemTray;
  };

  explicit KovrelApp(Options options = {});
  ~KovrelApp();
  KovrelApp(const KovrelApp&) = delete;
  KovrelApp& operator=(const KovrelApp&) = delete;

  // Start-up (Form_Load). Returns false when it handed over to a running copy: the program then
  // ends without showing its window.
  bool start();

  // The exit button: saves the settings, then hides (automatic mode), refuses while the host
  // holds its port, or leaves.
  void sortirBtn_Click();
  // The system asks the program to end (logout, Ctrl+C): save and leave, asking nothing.
  void shutdown();

  // Opens the ports window afresh and starts the port set-up in it (the configuration request
  // leads here).
  void openPortsWindow();
  // The ports window's run, while there is one.
  PortsFlow* portsWindow() { return ports_.get(); }

  // The program has been asked to end (the exit button, the system): the caller leaves.
  bool quitRequested() const { return quitRequested_; }

  MainWindow& window() { return *window_; }
  SharedState& state() { return state_; }
  SettingsFile& settings() { return *settings_; }
  SerialPort& tracerPort() { return *tracerPort_; }
  VirtualPort& hostPort() { return *hostPort_; }
  // The link the send runs on (the serial port unless the technician chose another).
  LinkSwitch& hostLink() { return *link_; }
  // Sets up and takes the link `choice` names, and keeps it in kovrel_enlace.cfg; the old link
  // stays, and the reason comes back, when it cannot be set up.
  std::string chooseLink(const LinkChoice& choice);
  const LinkChoice& linkChoice() const { return linkChoice_; }
  Timer& timer(AppTimer which) { return *timers_[static_cast<std::size_t>(which)]; }
  SendCommand& sendCommand() { return *send_; }
  SerialPort& encoderPort() { return *encoderPort_; }
  ConfigWindow& configWindow() { return *configWindow_; }
  HistoryLink& history() { return *history_; }
  ArchiveStore& archive() { return *archive_; }
  ArchiveKeeper& archiveKeeper() { return *keeper_; }
  TrayIcon& tray() { return *tray_; }

 private:
  void dispatch(Control c, UiEvent e);
  void click(Control c);
  // One configuration window at a time: a second request brings the open one to the front.
  void showConfiguration(bool modal);
  bool loadSettings();
  bool handOver();
  bool askOkCancel(std::string_view text, std::string_view title);
  std::string versio_major() const;
  void exitFromTray();
  // guarda_dades, telling the operator when the file could not be written.
  void saveSettings(bool messageNow);
  // The read on the plot kept in the archive: at its end, after a change of its choices, after a
  // send. A failed write is told once, after what the information box says.
  enum class Keeping { ReadEnd, Change, Send };
  void keepRead(Keeping moment, const std::string& outcome = {});
  void onLineSignal();
  void showLinkLabel();
  // The link kovrel_enlace.cfg names, when it is not the serial port and can be set up.
  void takeSavedLink();
  void bringBack();
  void releaseHostPort();
  // Leaves unless the host holds its port (then tells the operator and stays).
  void leaveUnlessHostHolds();
  void quit();

  Options options_;
  SharedState state_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Platform> platform_;
  std::unique_ptr<SerialPort> tracerPort_;
  std::unique_ptr<VirtualPort> hostPort_;
  std::unique_ptr<Clock> clock_;
  std::array<std::unique_ptr<Timer>, kAppTimerCount> timers_;
  std::unique_ptr<SettingsFile> settings_;
  std::unique_ptr<Capture> capture_;
  std::unique_ptr<ReadCommand> read_;
  std::unique_ptr<ShapeEditor> editor_;
  std::unique_ptr<ShapeSizesView> sizes_;
  std::unique_ptr<ArchiveStore> archive_;
  std::unique_ptr<ArchiveKeeper> keeper_;
  std::unique_ptr<SizeOffsets> offsets_;
  std::unique_ptr<LinkSwitch> link_;
  LinkChoice linkChoice_;
  std::unique_ptr<SendCommand> send_;
  std::unique_ptr<SerialPort> encoderPort_;
  std::unique_ptr<ConfigWindow> configWindow_;
  std::unique_ptr<Configuracio> configuracio_;
  std::unique_ptr<CentreCalibration> calibration_;
  std::unique_ptr<EncoderMonitor> encoder_;
  std::unique_ptr<AppShell> shell_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<HistoryLink> history_;
  bool quitRequested_ = false;
  std::unique_ptr<WakeChannel> wake_;
  std::unique_ptr<PortsFlow> ports_;  // last: it goes before the ports and windows it uses
};

}  // namespace kovrel
