#include "app/kovrel_app.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <iostream>

#include "app/history_link.h"
#include "app/platform.h"
#include "app/read_command.h"
#include "app/startup.h"
#include "archive/archive_keeper.h"
#include "base/com_name.h"
#include "base/number_text.h"
#include "base/qt_timer.h"
#include "base/system_clock.h"
#include "base/texts.h"
#include "files/user_folders.h"
#include "geometry/prepare_steps.h"
#include "geometry/shape_editor.h"
#include "geometry/shape_sizes.h"
#include "history/history_window.h"
#include "host/send_command.h"
#include "links/link_switch.h"
#include "links/make_link.h"
#include "links/serial_link.h"
#include "ports/ports_flow.h"
#include "ports/puertos_window.h"
#include "scanner/capture.h"
#include "scanner/plot_widget.h"
#include "settings/centre_calibration.h"
#include "settings/config_window.h"
#include "settings/configuracio.h"
#include "settings/encoder_monitor.h"
#include "settings/program_location.h"
#include "settings/settings_file.h"
#include "settings/size_offsets.h"
#include "shell/app_shell.h"
#include "shell/second_copy.h"
#include "shell/tray_icon_qt.h"
#include "shell/virtualised_copies.h"
#include "shell/wake_channel.h"
#include "shell/windows_system.h"

namespace kovrel {

int intervalMs(AppTimer timer) {
  if (timer == AppTimer::TimerEncoder) return kEncoderPeriodMs;
  if (timer == AppTimer::Timer3) return 6000;
  return timer == AppTimer::Poll ? 50 : 20;
}

namespace {

constexpr AppTimer kTimers[] = {
    AppTimer::Timer1, AppTimer::Timer2,       AppTimer::Timer_horari, AppTimer::Timer_antiHorari,
    AppTimer::Poll,   AppTimer::TimerEncoder, AppTimer::Timer3};
static_assert(std::size(kTimers) == kAppTimerCount);

}  // namespace

KovrelApp::KovrelApp(Options options) : options_(std::move(options)) {
  window_ = std::make_unique<MainWindow>();
  MainWindow& w = *window_;
  Plot& plot = w.plot();

  platform_ = options_.platform ? std::move(options_.platform) : makePlatform();
  tracerPort_ = options_.tracerPort ? std::move(options_.tracerPort) : platform_->makeSerialPort();
  hostPort_ = options_.hostPort ? std::move(options_.hostPort) : platform_->makeHostPort();
  encoderPort_ = options_.encoderPort ? std::move(options_.encoderPort) : platform_->makeSerialPort();
  clock_ = options_.clock ? std::move(options_.clock) : std::make_unique<SystemClock>();
  for (AppTimer t : kTimers) {
    timers_[static_cast<std::size_t>(t)] =
        options_.makeTimer ? options_.makeTimer(t) : std::make_unique<QtTimer>(intervalMs(t));
  }
  const bool programFolderGiven = !options_.programFolder.empty();
  if (options_.programFolder.empty()) {
    // Asked of the system as a path, never through a Qt string: a folder named "Ópticas" must not
    // depend on the locale's conversion of wide text.
    const std::filesystem::path program = runningProgramFolder();
    options_.programFolder = chooseSettingsFolder(
        {program, installedDefaultFolder(program), machineSettingsFolder(program), userSettingsFolder()},
        folderTakesFiles);
  }
  if (options_.archiveFolder.empty()) {
    const std::filesystem::path data = programFolderGiven ? options_.programFolder : userDataFolder();
    options_.archiveFolder = (data.empty() ? runningProgramFolder() : data) / kArchiveFolderName;
  }
  settings_ = std::make_unique<SettingsFile>(options_.programFolder);
  archive_ = std::make_unique<ArchiveStore>(options_.archiveFolder, systemWallTime);
  keeper_ = std::make_unique<ArchiveKeeper>(*archive_);

  // The header of every read becomes the file's calibration: a failure to write it is told
  // once the capture step has ended, so no message box runs inside a step.
  sizes_ = std::make_unique<ShapeSizesView>(state_, w);
  capture_ = std::make_unique<Capture>(
      state_, w, plot, *tracerPort_,
      Capture::Hooks{[this] { saveSettings(false); }, [this] { calibration_->nous_valors_centre(); },
                     [this] {
                       sizes_->shapeReady();
                       // Kept once the read's step has ended and its message shows: forcing the
                       // file to the disk never holds the read's end back.
                       QMetaObject::invokeMethod(
                           window_.get(), [this] { keepRead(Keeping::ReadEnd); }, Qt::QueuedConnection);
                     }});
  read_ = std::make_unique<ReadCommand>(
      state_, w, plot, *capture_,
      ReadCommand::Hooks{[this] { showConfiguration(false); }, [this] { offsets_->activa_offset(); },
                         [this] { return versio_major(); },
                         // A read takes the tracer's port; an access code leaves the monitor running.
                         [this] {
                           encoder_->yieldToRead();
                           sizes_->clear();
                           keeper_->release();
                         }});
  editor_ = std::make_unique<ShapeEditor>(state_, w, plot, timer(AppTimer::Timer_horari),
                                          timer(AppTimer::Timer_antiHorari));
  editor_->onRedraw = [this] { sizes_->refresh(); };
  offsets_ = std::make_unique<SizeOffsets>(
      state_, w, timer(AppTimer::Timer1), timer(AppTimer::Timer2),
      SizeOffsets::Hooks{[this] { send_->interpola_Click(); }, [this] { send_->lensTypePromptClosed(); }});
  link_ = std::make_unique<LinkSwitch>();
  link_->onLabelChanged = [this] { showLinkLabel(); };
  link_->use(std::make_unique<SerialLink>(*hostPort_, state_));
  send_ = std::make_unique<SendCommand>(
      state_, w, plot, *link_, *clock_, timer(AppTimer::Poll),
      SendCommand::Hooks{[this] { offsets_->openPanel(); },
                         {},
                         [this](const std::string& outcome) { keepRead(Keeping::Send, outcome); }});
  AppShell::Hooks shellHooks;
  shellHooks.askOkCancel = [this](std::string_view text, std::string_view title) {
    return askOkCancel(text, title);
  };
  shellHooks.versio_major = [this] { return versio_major(); };
  shellHooks.showPortsWindow = [this] { openPortsWindow(); };
  shellHooks.activa_offset = [this] { offsets_->activa_offset(); };
  shellHooks.neteja_trac_conf = [] {
    if (const auto root = systemDriveRoot()) neteja_trac_conf(*root, std::cerr);
  };
  shellHooks.closePortsWindow = [this] {
    if (ports_) ports_->window().close();
  };
  shellHooks.closeConfiguration = [this] { configWindow_->close(); };
  shellHooks.serialLink = [this] { return linkChoice_.kind == LinkKind::Serial; };
  shell_ = std::make_unique<AppShell>(state_, w, *hostPort_, timer(AppTimer::Timer3), std::move(shellHooks));
  tray_ =
      std::make_unique<TrayIcon>(w, TrayIcon::Hooks{[this] { bringBack(); }, [this] { exitFromTray(); },
                                                    [this] { return quitRequested_; }, options_.systemTray});

  configWindow_ = std::make_unique<ConfigWindow>();
  Configuracio::Hooks configHooks;
  configHooks.saved = [this] {
    showLinkLabel();
    sizes_->refresh();  // the filter setting shapes what is sent
  };
  configHooks.replacedOnLoad = [this](const std::string& problem) {
    window_->messageBox(problem, texts::kTitleAttention);
  };
  configuracio_ =
      std::make_unique<Configuracio>(state_, w, *configWindow_, *settings_, std::move(configHooks));
  calibration_ = std::make_unique<CentreCalibration>(state_, w, *configuracio_);
  encoder_ = std::make_unique<EncoderMonitor>(state_, w, *encoderPort_, timer(AppTimer::TimerEncoder),
                                              EncoderMonitor::Hooks{[] { QApplication::beep(); }});

  history_ = std::make_unique<HistoryLink>(HistoryLink::Parts{state_, w, *capture_, *editor_, *archive_,
                                                              *keeper_, [this] { sizes_->shapeReady(); }});
  w.onFileDropped = [this](const std::filesystem::path& file) { history_->openFile(file); };

  tracerPort_->onReceive = [this] { capture_->onReceive(); };
  hostPort_->canvi_senyal = [this] { onLineSignal(); };
  w.onEvent = [this](Control c, UiEvent e) { dispatch(c, e); };
  w.inputBlocked = [this] { return send_->busy(); };
}

KovrelApp::~KovrelApp() {
  ports_.reset();
  // Nothing may reach the handlers while the parts go away.
  window_->onEvent = nullptr;
  window_->inputBlocked = nullptr;
  window_->onFileDropped = nullptr;
  tracerPort_->onReceive = nullptr;
  encoderPort_->onReceive = nullptr;
  configWindow_->onClick = nullptr;
  hostPort_->canvi_senyal = nullptr;
  hostPort_->onBytesArrived = nullptr;
  tray_.reset();
  for (auto& t : timers_) {
    t->stop();
    t->onTick = nullptr;
  }
}

bool KovrelApp::start() {
  StartupHooks hooks;
  hooks.activatePrevInstance = [this] { return handOver(); };
  hooks.loadSettings = [this] { return loadSettings(); };
  hooks.cfg_btn_Click = [this] { shell_->cfg_btn_Click(); };
  // The virtual port is made at start-up only when it is the link in use.
  const LinkLoad saved = loadLinkChoice(settings_->path().parent_path());
  linkChoice_ = saved.choice;
  hooks.serialLink = linkChoice_.kind == LinkKind::Serial;
  const bool started = Form_Load(state_, *window_, window_->plot(), *hostPort_, hooks);
  if (started) takeSavedLink();
  if (started && !options_.wakeName.empty()) {
    // A second start brings this window back, whichever link is in use.
    wake_ = std::make_unique<WakeChannel>(options_.wakeName, [this] {
      if (!window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
      bringBack();
    });
    if (!wake_->listen()) std::fprintf(stderr, "Kovrel: no wake-up channel %s\n", options_.wakeName.c_str());
  }
  window_->plot().refresh();
  return started;
}

void KovrelApp::takeSavedLink() {
  if (linkChoice_.kind == LinkKind::Serial) return;
  MadeLink made = makeHostLink(linkChoice_, *hostPort_, state_);
  if (made.link) {
    link_->use(std::move(made.link));
    return;
  }
  // The saved link cannot be set up now (the port taken, the folder gone): the serial port
  // carries the sends until the technician chooses again.
  window_->setText(Control::Text1, made.refusal);
  linkChoice_ = LinkChoice{};
}

std::string KovrelApp::chooseLink(const LinkChoice& choice) {
  MadeLink made = makeHostLink(choice, *hostPort_, state_);
  if (!made.link) return made.refusal;
  if (const std::string problem = saveLinkChoice(settings_->path().parent_path(), choice); !problem.empty())
    return std::string(kLinkFileName) + ": " + problem;
  link_->use(std::move(made.link));
  linkChoice_ = choice;
  return {};
}

void KovrelApp::showLinkLabel() {
  if (link_) window_->setText(Control::port_oma_info_lbl, link_->label());
}

bool KovrelApp::handOver() {
  if (!options_.activatePrevInstance || !options_.activatePrevInstance()) return false;
  // The running copy's own channel first; the host's serial line as before when it cannot be
  // reached that way (a copy from before the channel existed).
  if (!options_.wakeName.empty() && wakeRunningCopy(options_.wakeName)) {
    state_.Marxar_sense_tocarres = 1;
    return true;
  }
  // Two copies must never run: this one leaves whether or not the other could be told.
  const std::string problem = ActivatePrevInstance(state_, settings_->path().parent_path(), *tracerPort_);
  if (!problem.empty()) window_->messageBox(problem, texts::kTitleAttention);
  return true;
}

bool KovrelApp::loadSettings() {
  const LoadOutcome outcome = settings_->carrega_dades(state_);
  if (outcome.replacedByDefault) window_->messageBox(outcome.problem, texts::kTitleAttention);
  return outcome.portSetupPending;
}

void KovrelApp::saveSettings(bool messageNow) {
  const SaveResult result = settings_->guarda_dades(state_);
  if (result == SaveResult::Saved) {
    // The writer shows the host's port as it saved it.
    showLinkLabel();
  } else if (result == SaveResult::Failed) {
    const std::string problem = settings_->lastError();
    if (messageNow) {
      window_->messageBox(problem, texts::kTitleAttention);
    } else {
      QMetaObject::invokeMethod(
          window_.get(), [this, problem] { window_->messageBox(problem, texts::kTitleAttention); },
          Qt::QueuedConnection);
    }
  }
}

void KovrelApp::keepRead(Keeping moment, const std::string& outcome) {
  // The archive keeps what the send would deliver; inputs the send refuses keep nothing new.
  double manualMm = 0.0;
  const double filterscope = state_.filterscope.toNumber();
  const bool sendable =
      parseLocaleNumber(window_->text(Control::offset_mida), window_->decimalSeparator(), manualMm) &&
      preparation::filterInRange(filterscope);
  std::optional<std::string> problem;
  if (moment == Keeping::Send) {
    problem = keeper_->sent(state_, outcome, filterscope);
  } else if (sendable && moment == Keeping::ReadEnd) {
    problem = keeper_->readFinished(state_, manualMm, filterscope);
  } else if (sendable && state_.ja_Enviat != 1) {  // once sent, the shape is the one delivered
    problem = keeper_->choicesMayHaveChanged(state_, manualMm, filterscope);
  }
  // Told after the information box's own message; the read stays as usable as before.
  if (problem) window_->setText(Control::Text1, window_->text(Control::Text1) + " · " + *problem);
}

void KovrelApp::sortirBtn_Click() {
  window_->setPasswordMode(Control::Text1, false);
  saveSettings(true);
  if (window_->isChecked(Control::autochk)) {
    // Automatic mode: the program stays for the host, which brings the window back.
    window_->setVisible(Control::Form1, false);
    return;
  }
  leaveUnlessHostHolds();
}

// The tray's "Salir": the exit button's rules, but the window is already hidden, so automatic
// mode would hide nothing: leave, unless the host holds its port.
void KovrelApp::exitFromTray() {
  window_->setPasswordMode(Control::Text1, false);
  saveSettings(true);
  leaveUnlessHostHolds();
}

// Only the serial pair is taken from under a host that holds it; a socket or a folder left is not.
void KovrelApp::leaveUnlessHostHolds() {
  bool hostHolds = false;
  try {
    hostHolds = linkChoice_.kind == LinkKind::Serial && hostPort_->port_obert_host();
  } catch (const VirtualPortError&) {
    hostHolds = false;  // no port, nobody can hold it
  }
  if (hostHolds) {
    window_->messageBox(texts::kExitWhileHostHolds, texts::kTitleAttention);
    return;
  }
  releaseHostPort();
  quit();
}

void KovrelApp::shutdown() {
  const SaveResult result = settings_->guarda_dades(state_);
  if (result == SaveResult::Failed) std::fprintf(stderr, "%s\n", settings_->lastError().c_str());
  releaseHostPort();
  quit();
}

void KovrelApp::releaseHostPort() {
  try {
    hostPort_->set_opcio_port(false);
  } catch (const VirtualPortError&) {
    // A port that is gone holds nothing back: the program leaves all the same.
  }
}

void KovrelApp::quit() {
  quitRequested_ = true;
  shell_->Form_Unload();
  window_->hide();
  if (options_.quit) {
    options_.quit();
  } else {
    // exit() rather than quit(): it also ends a message box's loop, and works before the main
    // loop runs (a signal during start-up).
    QCoreApplication::exit(0);
  }
}

void KovrelApp::onLineSignal() {
  // Whoever raises the line on the other side (the host, a second copy) brings the window back,
  // also from automatic mode, and keeps it above the host's windows.
  if (!hostPort_->senyal_extern()) return;
  if (!window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    window_->setWindowFlag(Qt::WindowStaysOnTopHint, true);  // takes effect at the next show
  bringBack();
}

void KovrelApp::bringBack() {
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void KovrelApp::showConfiguration(bool modal) { configuracio_->show(modal); }

std::string KovrelApp::versio_major() const {
  return options_.versio_major ? options_.versio_major() : obte_versio();
}

bool KovrelApp::askOkCancel(std::string_view text, std::string_view title) {
  return options_.askOkCancel ? options_.askOkCancel(text, title) : window_->askOkCancel(text, title);
}

void KovrelApp::openPortsWindow() {
  ports_.reset();
  ports_ = std::make_unique<PortsFlow>(PortsFlow::Parts{
      state_, *window_, window_.get(), *hostPort_, [this] { return platform_->makeSerialPort(); },
      [this] { return platform_->serialPorts(); }, options_.makePortsTimer, [this] { saveSettings(true); },
      [this] { return linkChoice_.kind == LinkKind::Serial ? std::string() : link_->label(); }});
  ports_->window().showLinkChoice(linkChoice_, static_cast<int>(state_.comport2.toNumber()));
  ports_->window().onChooseLink = [this](const LinkChoice& choice) { return chooseLink(choice); };
  ports_->open();
}

void KovrelApp::dispatch(Control c, UiEvent e) {
  switch (e) {
    case UiEvent::Click:
      click(c);
      sizes_->refresh();  // a mirror, a lens type, an offset set: the sizes follow
      keepRead(Keeping::Change);
      break;
    case UiEvent::DoubleClick:
      if (c == Control::Text1) read_->Text1_DblClick();
      break;
    case UiEvent::Press:
      if (c == Control::Horari) editor_->Horari_MouseDown();
      if (c == Control::antiHorari) editor_->antiHorari_MouseDown();
      break;
    case UiEvent::Release:
      if (c == Control::Horari) editor_->Horari_MouseUp();
      if (c == Control::antiHorari) editor_->antiHorari_MouseUp();
      break;
    case UiEvent::Hover:
      if (c == Control::Image_clara_gran) offsets_->lightPictureHover(LensType::Larger);
      if (c == Control::Image_clara_igual) offsets_->lightPictureHover(LensType::Same);
      if (c == Control::Image_clara_petita) offsets_->lightPictureHover(LensType::Smaller);
      break;
    case UiEvent::MouseMove:
      if (c == Control::Picture3) offsets_->Picture3_MouseMove();
      break;
    case UiEvent::Change:
      if (c == Control::offset_mida) offsets_->offset_mida_Change();
      sizes_->refresh();
      keepRead(Keeping::Change);
      break;
    case UiEvent::Close:
      sortirBtn_Click();
      break;
  }
}

void KovrelApp::click(Control c) {
  switch (c) {
    case Control::llegirBtn:
      read_->llegirBtn_Click();
      break;
    case Control::parada:
      capture_->parada_Click();
      sizes_->clear();  // the plot is cleared: no shape to send
      keeper_->release();
      break;
    case Control::sortirBtn:
      sortirBtn_Click();
      break;
    case Control::cfg_btn:
      shell_->cfg_btn_Click();
      break;
    case Control::openCfgBtn:
      showConfiguration(true);
      break;
    case Control::calibraCentreChk:
      calibration_->calibraCentreChk_Click();
      break;
    case Control::CentEncBtn:
      encoder_->CentEncBtn_Click();
      break;
    case Control::autochk:
      shell_->autochk_Click();
      break;
    case Control::historialBtn:
      history_->open();
      break;
    case Control::inicio_adminBtn:
      shell_->inicio_adminBtn_Click();
      break;
    case Control::cancelar_adminBtn:
      shell_->cancelar_adminBtn_Click();
      break;
    case Control::interpola:
      send_->interpola_Click();
      break;
    case Control::mirallHoritzontal:
      editor_->mirallHoritzontal_Click();
      break;
    case Control::noMidesChk:
      read_->noMidesChk_Click();
      break;
    case Control::Image_fosca_gran:
      offsets_->lensTypeClick(LensType::Larger);
      break;
    case Control::Image_fosca_igual:
      offsets_->lensTypeClick(LensType::Same);
      break;
    case Control::Image_fosca_petita:
      offsets_->lensTypeClick(LensType::Smaller);
      break;
    case Control::offset_aquiLbl:
      offsets_->offset_aquiLbl_Click();
      break;
    case Control::OffsetMesBtn:
      offsets_->OffsetMesBtn_Click();
      break;
    case Control::OffsetMenysBtn:
      offsets_->OffsetMenysBtn_Click();
      break;
    case Control::OK_manualbtn:
      offsets_->OK_manualbtn_Click();
      break;
    case Control::SurtEviaOma:
      offsets_->SurtEviaOma_Click();
      break;
    case Control::mes_offset:
      offsets_->mes_offset_Click();
      break;
    case Control::menys_offset:
      offsets_->menys_offset_Click();
      break;
    case Control::sortir_offset:
      offsets_->sortir_offset_Click();
      break;
    default:
      break;  // check boxes read by the handlers, and controls nothing listens to yet
  }
}

}  // namespace kovrel
