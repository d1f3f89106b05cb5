#include "app/kovrel_app.h"

#include <QCoreApplication>
#include <cstdio>

#include "app/qt_timer.h"
#include "app/read_command.h"
#include "app/startup.h"
#include "app/system_clock.h"
#include "app/texts.h"
#include "geometry/shape_editor.h"
#include "host/send_command.h"
#include "host/virtual_port_pty_linux.h"
#include "ports/com_registry.h"
#include "scanner/capture.h"
#include "scanner/plot_widget.h"
#include "scanner/serial_port_qt.h"
#include "settings/settings_file.h"
#include "settings/size_offsets.h"

namespace kovrel {

int intervalMs(AppTimer timer) { return timer == AppTimer::Poll ? 50 : 20; }

namespace {

constexpr AppTimer kTimers[] = {AppTimer::Timer1, AppTimer::Timer2, AppTimer::Timer_horari,
                                AppTimer::Timer_antiHorari, AppTimer::Poll};

std::filesystem::path executableFolder() {
  return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace

KovrelApp::KovrelApp(Options options) : options_(std::move(options)) {
  window_ = std::make_unique<MainWindow>();
  MainWindow& w = *window_;
  Plot& plot = w.plot();

  if (!options_.tracerPort || !options_.hostPort)
    registry_ = std::make_unique<ComRegistry>(systemComFolders());
  if (options_.tracerPort) {
    tracerPort_ = std::move(options_.tracerPort);
  } else {
    tracerPort_ = std::make_unique<QtSerialPort>([this](int n) { return registry_->resolve(n); });
  }
  if (options_.hostPort) {
    hostPort_ = std::move(options_.hostPort);
  } else {
    hostPort_ = std::make_unique<PtyVirtualPort>(*registry_);
  }
  clock_ = options_.clock ? std::move(options_.clock) : std::make_unique<SystemClock>();
  for (AppTimer t : kTimers) {
    timers_[static_cast<std::size_t>(t)] =
        options_.makeTimer ? options_.makeTimer(t) : std::make_unique<QtTimer>(intervalMs(t));
  }
  settings_ = std::make_unique<SettingsFile>(options_.programFolder.empty() ? executableFolder()
                                                                            : options_.programFolder);

  // The header of every read becomes the file's calibration: a failure to write it is told
  // once the capture step has ended, so no message box runs inside a step.
  capture_ = std::make_unique<Capture>(state_, w, plot, *tracerPort_,
                                       Capture::Hooks{[this] { saveSettings(false); }, {}});
  // No version text: this system has no administrator prompt, the general-offset panel opens
  // straight away.
  read_ = std::make_unique<ReadCommand>(
      state_, w, plot, *capture_,
      ReadCommand::Hooks{[this] { showConfiguration(); }, [this] { offsets_->activa_offset(); }, {}});
  editor_ = std::make_unique<ShapeEditor>(state_, w, plot, timer(AppTimer::Timer_horari),
                                          timer(AppTimer::Timer_antiHorari));
  offsets_ = std::make_unique<SizeOffsets>(
      state_, w, timer(AppTimer::Timer1), timer(AppTimer::Timer2),
      SizeOffsets::Hooks{[this] { send_->interpola_Click(); }, [this] { send_->lensTypePromptClosed(); }});
  send_ = std::make_unique<SendCommand>(state_, w, plot, *hostPort_, *clock_, timer(AppTimer::Poll),
                                        SendCommand::Hooks{[this] { offsets_->openPanel(); }, {}});

  tracerPort_->onReceive = [this] { capture_->onReceive(); };
  hostPort_->canvi_senyal = [this] { onLineSignal(); };
  w.onEvent = [this](Control c, UiEvent e) { dispatch(c, e); };
  w.inputBlocked = [this] { return send_->busy(); };
}

KovrelApp::~KovrelApp() {
  // Nothing may reach the handlers while the parts go away.
  window_->onEvent = nullptr;
  window_->inputBlocked = nullptr;
  tracerPort_->onReceive = nullptr;
  hostPort_->canvi_senyal = nullptr;
  hostPort_->onBytesArrived = nullptr;
  for (auto& t : timers_) {
    t->stop();
    t->onTick = nullptr;
  }
}

bool KovrelApp::start() {
  StartupHooks hooks;
  hooks.activatePrevInstance = options_.activatePrevInstance;
  hooks.loadSettings = [this] { return loadSettings(); };
  hooks.cfg_btn_Click = [this] { cfg_btn_Click(); };
  const bool started = Form_Load(state_, *window_, window_->plot(), *hostPort_, hooks);
  window_->plot().refresh();
  return started;
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
    window_->setText(Control::port_oma_info_lbl, " COM " + comName(state_.comport2).substr(3));
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

void KovrelApp::sortirBtn_Click() {
  window_->setPasswordMode(Control::Text1, false);
  saveSettings(true);
  if (window_->isChecked(Control::autochk)) {
    // Automatic mode: the program stays for the host, which brings the window back.
    window_->setVisible(Control::Form1, false);
    return;
  }
  bool hostHolds = false;
  try {
    hostHolds = hostPort_->port_obert_host();
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
  window_->hide();
  quitRequested_ = true;
  if (options_.quit) {
    options_.quit();
  } else {
    // exit() rather than quit(): it also ends a message box's loop, and works before the main
    // loop runs (a signal during start-up).
    QCoreApplication::exit(0);
  }
}

void KovrelApp::onLineSignal() {
  // Whoever raises the line on the other side (the host, a second copy) brings the window back.
  if (!hostPort_->senyal_extern()) return;
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void KovrelApp::showConfiguration() {
  if (options_.showConfiguration) {
    options_.showConfiguration();
  } else {
    window_->messageBox(texts::kConfigWindowPending, texts::kTitleConfiguration);
  }
}

void KovrelApp::cfg_btn_Click() {
  if (options_.cfg_btn_Click) {
    options_.cfg_btn_Click();
  } else {
    window_->messageBox(texts::kPortSetupPending, texts::kTitleConfiguration);
  }
}

void KovrelApp::dispatch(Control c, UiEvent e) {
  switch (e) {
    case UiEvent::Click:
      click(c);
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
      break;
    case Control::sortirBtn:
      sortirBtn_Click();
      break;
    case Control::cfg_btn:
      cfg_btn_Click();
      break;
    case Control::openCfgBtn:
      showConfiguration();
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
