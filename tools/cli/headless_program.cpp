#include "headless_program.h"

#include <type_traits>

#include "base/number_text.h"
#include "base/texts.h"
#include "history/shape_loading.h"
#include "settings/default_settings.h"

namespace kovrel::cli {
namespace {

// A panel slide takes about 30 ticks; far more means a timer that never stops itself.
constexpr int kMaxAnimationTicks = 1000;

// The state a fresh installation loads from its settings file.
void installDefaults(SharedState& s, double filterscope, double generalOffsetMm) {
  using D = DefaultCalibration;
  s.midaradi = D::midaradi;
  s.obertura_brac = D::obertura_brac;
  s.radi_central = D::radi_central;
  s.polsoseix = D::polsoseix;
  s.polsosini = D::polsosini;
  s.carrera = D::carrera;
  s.grausperpols = D::grausperpols;
  s.angleplus = D::angleplus;
  s.filterscope = filterscope;
  s.comport1 = D::comport1;
  s.comport2 = D::comport2;
  s.calibra_centre = D::calibra_centre;
  s.cicle_calibracio = D::cicle_calibracio;
  s.OffsetMida = generalOffsetMm;
  s.primera_instalacio = D::primera_instalacio;
  s.obre_offset = "no";
}

// The window as start-up leaves it: compensation ticked, service options unticked, the
// lens-type panel closed with its manual editor shut.
void initialWindow(testing::FakeWindow& w) {
  w.setChecked(Control::CompSiNoChk, true);
  for (Control c :
       {Control::noCapsaleraChk, Control::noMidesChk, Control::autochk, Control::calibraCentreChk})
    w.setChecked(c, false);
  w.setText(Control::offset_mida, texts::kManualOffsetInitial);
  w.setVisible(Control::Picture3, false);
  w.setHeightTwips(Control::Picture3, 15);
  for (Control c :
       {Control::OK_manualbtn, Control::offset_mida, Control::OffsetMesBtn, Control::OffsetMenysBtn}) {
    w.setVisible(c, false);
    w.setEnabled(c, false);
  }
}

}  // namespace

HeadlessProgram::HeadlessProgram(double filterscope, double generalOffsetMm)
    : HeadlessProgram(filterscope, generalOffsetMm, RealLink{}) {}

HeadlessProgram::HeadlessProgram(double filterscope, double generalOffsetMm, RealLink real)
    : real_(std::move(real)),
      capture_(state_, window_, plot_, tracerPort_, Capture::Hooks{}),
      readCommand_(state_, window_, plot_, capture_, ReadCommand::Hooks{}),
      editor_(state_, window_, plot_, timerHorari_, timerAntiHorari_),
      offsets_(
          state_, window_, timer1_, timer2_,
          SizeOffsets::Hooks{[this] { send_.interpola_Click(); }, [this] { send_.lensTypePromptClosed(); }}),
      send_(state_, window_, plot_, real_.link != nullptr ? *real_.link : hostLink_,
            real_.clock != nullptr ? *real_.clock : clock_, pollTimer_,
            SendCommand::Hooks{[this] { offsets_.openPanel(); }, {}, {}}) {
  installDefaults(state_, filterscope, generalOffsetMm);
  initialWindow(window_);
  // The host program is running and holds the virtual port the program created at start-up.
  hostPort_.exists = true;
  hostPort_.hostHolds = true;
}

bool HeadlessProgram::read(const std::vector<std::uint8_t>& stream) {
  readCommand_.llegirBtn_Click();
  // The whole read waits in the port's buffer at once: the capture must still take it one
  // unit at a time, in order, as the real port's receive events would hand it over.
  tracerPort_.feedSilently(std::string_view(reinterpret_cast<const char*>(stream.data()), stream.size()));
  capture_.onReceive();
  if (state_.esticCapturant == 1) {
    // The machine went quiet before the read was complete: the operator presses stop.
    capture_.parada_Click();
    return false;
  }
  return message() == texts::kReadFinished;
}

std::string HeadlessProgram::load(const TraceFileContent& file) {
  return standShape(state_, window_, capture_, editor_, file);
}

void HeadlessProgram::mirror() { editor_.mirallHoritzontal_Click(); }

void HeadlessProgram::turn(int steps) {
  for (int i = 0; i < steps; ++i) {
    editor_.antiHorari_MouseDown();
    timerAntiHorari_.tick();
    editor_.antiHorari_MouseUp();
  }
  for (int i = 0; i > steps; --i) {
    editor_.Horari_MouseDown();
    timerHorari_.tick();
    editor_.Horari_MouseUp();
  }
}

void HeadlessProgram::settleAnimations() {
  for (int i = 0; i < kMaxAnimationTicks && (timer1_.isActive() || timer2_.isActive()); ++i) {
    timer1_.tick();
    timer2_.tick();
  }
}

bool HeadlessProgram::send(LensType lens, bool lensChosen, std::optional<double> manualMm,
                           oma::Bytes& answer) {
  answer.clear();
  send_.interpola_Click();  // the send button: a read without its lens type opens the panel
  settleAnimations();

  const std::size_t requestStart = hostPort_.written.size();
  if (manualMm) {
    offsets_.offset_aquiLbl_Click();
    window_.setText(Control::offset_mida, localeNumber(*manualMm, window_.decimalSeparator()));
    offsets_.offset_mida_Change();
    if (lensChosen) {
      // The manual value stays in its box for the lens-type click: close the editor without
      // sending, press send again and choose the lens type on the panel.
      offsets_.SurtEviaOma_Click();
      settleAnimations();
      send_.interpola_Click();
      settleAnimations();
      offsets_.lensTypeClick(lens);
    } else {
      offsets_.OK_manualbtn_Click();
    }
  } else {
    offsets_.lensTypeClick(lens);
  }
  if (real_.link != nullptr) {
    // The exchange's own time limits (5 s, then 9 s, on the wall clock) end a silent host; a
    // folder has the trace before the click returns.
    while (send_.busy()) {
      real_.wait();
      pollTimer_.tick();
    }
    return message() == texts::kSentOk;
  }
  if (!send_.busy()) return false;  // stopped before the request (no host, bad offset text)

  // The host: acknowledges the request, then a message of nothing but its closing GS.
  if (hostPort_.written.size() == requestStart) return false;
  hostPort_.hostSends(std::vector<std::uint8_t>{oma::ACK});
  const std::size_t answerStart = hostPort_.written.size();
  hostPort_.hostSends(std::vector<std::uint8_t>{oma::GS});
  settleAnimations();
  answer.assign(hostPort_.written.begin() + static_cast<std::ptrdiff_t>(answerStart),
                hostPort_.written.end());
  return !send_.busy() && message() == texts::kSentOk;
}

void HeadlessProgram::forgetRecordings() {
  // Each record is swapped with an empty one so that its storage goes too, not only its size.
  auto drop = [](auto& record) { std::remove_reference_t<decltype(record)>().swap(record); };
  drop(window_.text1History);
  drop(window_.progressHistory);
  drop(window_.frontOrder);
  drop(window_.repaints);
  drop(window_.messageBoxes);
  drop(tracerPort_.calls);
  drop(hostPort_.written);
  drop(hostPort_.calls);
}

}  // namespace kovrel::cli
