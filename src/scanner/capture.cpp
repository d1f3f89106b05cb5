#include "scanner/capture.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/header.h"
#include "base/number_text.h"
#include "base/texts.h"
#include "scanner/read_samples.h"

namespace kovrel {
namespace {

// Header progress values of llegir_capsalera.
constexpr double kTemperatureNext = 65;
constexpr double kHeaderDone = 100;    // header mode
constexpr double kHeaderSkipped = 66;  // no-header mode

// contadorDadesRebudes values.
constexpr int kFirstTrailer = kSamplesPerRead + 1;  // 4097
constexpr int kReadComplete = kSamplesPerRead + 3;  // 4099
constexpr int kReadingShapeAt = 10;                 // sample at which "Leyendo forma..." shows
constexpr int kHideNoticeFrom = 6;                  // sample from which the calibration notice goes

// The arm may rest up to this many counts inside its innermost position before the shape is
// taken as out of the measurable range.
constexpr double kInnermostSlack = 5;

// The port could not be opened: carries the error number the operator message is chosen by.
class PortFault : public std::runtime_error {
 public:
  explicit PortFault(int number) : std::runtime_error("tracer port error"), number(number) {}
  int number;
};

// A 16-bit value whose first byte is 128 or more does not fit the signed arithmetic the
// stream is decoded with; it only arrives from a stream out of step or a faulty line.
class WordOverflow : public std::runtime_error {
 public:
  WordOverflow() : std::runtime_error("16-bit value out of range") {}
};

constexpr Control kEditControls[] = {Control::antiHorari, Control::Horari, Control::mirallHoritzontal,
                                     Control::interpola};
constexpr Control kSendControls[] = {Control::parada, Control::offset_mida, Control::OffsetMesBtn,
                                     Control::OffsetMenysBtn};
constexpr Control kReadControls[] = {Control::sortirBtn, Control::llegirBtn, Control::cfg_btn};

template <std::size_t N>
void setAll(Window& w, const Control (&controls)[N], bool on) {
  for (Control c : controls) w.setEnabled(c, on);
}

// The read, exit and CONFIG buttons come back; in automatic mode CONFIG stays off.
void enableReadControls(Window& w) {
  setAll(w, kReadControls, true);
  if (w.isChecked(Control::autochk)) w.setEnabled(Control::cfg_btn, false);
}

}  // namespace

Capture::Capture(SharedState& state, Window& window, Plot& plot, SerialPort& port, Hooks hooks)
    : s_(state), w_(window), plot_(plot), port_(port), hooks_(std::move(hooks)) {}

void Capture::captura_dibuixa() {
  try {
    step();
  } catch (const PortFault& fault) {
    // A failed read ends automatic mode before the buttons come back, CONFIG with them.
    w_.setChecked(Control::autochk, false);
    parada_Click();
    if (fault.number == kErrNoSuchPort) {
      // The configured COM number is gone: only leaving the program and setting the ports
      // up again helps, so the read and the automatic mode stay off.
      show(texts::kPortErrorRestart);
      w_.setEnabled(Control::autochk, false);
      w_.setEnabled(Control::llegirBtn, false);
      w_.setEnabled(Control::cfg_btn, false);
    } else if (fault.number == kErrPortNoPermission) {
      show(std::string(texts::kTracerNoPermission) + port_.deniedGroup() +
           std::string(texts::kTracerNoPermissionEnd));
      w_.setChecked(Control::autochk, false);
    } else {
      show(texts::kProgramErrorRestart);
    }
    w_.setEnabled(Control::sortirBtn, true);
  } catch (const std::exception&) {
    w_.setChecked(Control::autochk, false);
    parada_Click();
    show(texts::kProgramErrorRestart);
    w_.setEnabled(Control::sortirBtn, true);
  }
}

void Capture::onReceive() {
  // The serial layer may gather many units under one notification; each is handled as if it
  // had raised its own, until too little waits or a step could not take anything (a device
  // that vanished keeps reporting bytes it never delivers).
  while (s_.esticCapturant == 1 && bytesWaiting() >= 2) {
    const std::size_t before = consumed_;
    captura_dibuixa();
    if (consumed_ == before) break;
  }
}

void Capture::parada_Click() {
  w_.setPasswordMode(Control::Text1, false);
  s_.esticCapturant = 0;
  if (s_.stopemergencia == 1) {
    show(texts::kShapeOutOfRange);
    s_.stopemergencia = 0;
  } else {
    show(texts::kReadAborted);
  }
  setAll(w_, kEditControls, false);
  w_.setEnabled(Control::parada, false);
  enableReadControls(w_);
  clearAndDrawAxes(plot_);
  w_.setValue(Control::ProgressBar1, 0);
  if (port_.isOpen()) port_.close();
  pending_.clear();
}

void Capture::step() {
  s_.ja_Enviat = 0;
  if (s_.esticCapturant != 1) startRead();

  const bool headerMode = !w_.isChecked(Control::noCapsaleraChk);
  if (s_.contadorDadesRebudes == kReadingShapeAt) {
    std::string text(texts::kReadingShape);
    if (!headerMode) text += localeNumber(s_.polsoseix, w_.decimalSeparator());
    show(text);
  }
  if (s_.estic_calibrant == 1) {
    show(texts::kNeedleToCentre);
    if (s_.contadorDadesRebudes >= kHideNoticeFrom) w_.setVisible(Control::veri_instrument_txt, false);
  }

  const int waiting = bytesWaiting();
  const double headerCount = s_.llegir_capsalera.toNumber();
  if (headerCount < kTemperatureNext) {
    if (!takeHeaderByte(headerMode)) return;
  } else if (headerCount == kTemperatureNext) {
    takeTemperature(headerMode);
  } else if (waiting >= 2) {
    if (s_.contadorDadesRebudes == kFirstTrailer) show("");
    if (s_.contadorDadesRebudes < kFirstTrailer) {
      if (!takeSample()) return;
    } else {
      takeTrailerWord();
    }
  }

  plot_.refresh();
  s_.esticCapturant = 1;
  if (s_.contadorDadesRebudes == kReadComplete) finishRead();
}

void Capture::startRead() {
  s_.llegir_capsalera = 0;
  // A header left over from a read that was stopped or rejected part way must not be read as
  // the start of this one's: its calibration fields sit at fixed positions.
  s_.dades_capsalera.clear();
  s_.mitja_centre = 0;
  s_.raw_samples.clear();
  s_.raw_samples.reserve(kSamplesPerRead);
  setAll(w_, kEditControls, false);
  w_.setEnabled(Control::sortirBtn, false);
  w_.setEnabled(Control::llegirBtn, false);
  w_.setEnabled(Control::cfg_btn, false);
  w_.setEnabled(Control::parada, true);
  show(texts::kInitialising);
  configurePort();
  s_.PI = kCapturePi;
  s_.contadorDadesRebudes = 1;
  show(texts::kPressStart);
  port_.clearInput();
  pending_.clear();
  s_.angle_radi_central = 2.0 * arcsinChecked(s_.radi_central / 2.0 / s_.midaradi);
}

void Capture::configurePort() {
  if (port_.isOpen()) port_.close();
  const double com = s_.comport1.toNumber();
  // A COM number that cannot name a port is as absent as one Windows does not list.
  if (!(com >= 1 && com <= 9999)) throw PortFault(kErrNoSuchPort);
  const int error = port_.open(static_cast<int>(com), kTracerLineSettings);
  if (error != 0) throw PortFault(error);
  port_.setReceiveThreshold(2);
  port_.clearInput();
}

bool Capture::takeHeaderByte(bool headerMode) {
  const double headerCount = s_.llegir_capsalera.toNumber();
  // The first step of a read reads the buffer it has just emptied: nothing to check there.
  // Later, a read that delivers nothing (a vanished device) leaves the header where it was.
  const std::string c = readChars(1);
  if (c.empty() && headerCount >= 1) return true;
  if (headerMode && headerCount == 1 && c != "*") {
    // START pressed on the tracer before the read on the PC, or a stream out of step.
    parada_Click();
    show(texts::kPressReadFirst);
    return false;
  }
  s_.llegir_capsalera = headerCount + 1;
  if (headerMode) {
    s_.dades_capsalera += c;
    w_.repaint(Control::Text1);
  }
  return true;
}

void Capture::takeTemperature(bool headerMode) {
  int temperature = 0;
  if (!takeWord(temperature)) return;
  s_.temperatura = temperature;
  if (headerMode) {
    inicialitzar_variables(s_, w_, hooks_.saveSettings);
    s_.llegir_capsalera = kHeaderDone;
  } else {
    s_.llegir_capsalera = kHeaderSkipped;
    inicialitzar_variables(s_, w_, hooks_.saveSettings);
  }
}

bool Capture::takeSample() {
  const int n = s_.contadorDadesRebudes;
  int raw = 0;
  if (!takeWord(raw)) return true;
  s_.datoPurDecimal = raw;
  if (s_.estic_calibrant == 1) s_.mitja_centre = s_.mitja_centre.toNumber() + raw;
  if (raw < s_.polsoseix - kInnermostSlack && s_.estic_calibrant != 1) {
    // The needle is further in than it can rest: the shape is too small or too large.
    s_.stopemergencia = 1;
    parada_Click();
    return false;
  }

  s_.raw_samples.push_back(raw);
  const ArmCalibration arm = armCalibrationOf(s_);
  s_.datoPurDecimal = sampleCounts(raw, arm);
  const SamplePolar sample = decodeSample(raw, arm);
  const double radius = sample.radius;
  s_.midapuradecimal = radius;
  placeSample(n, sample, arm, s_.forma_llegida, s_.incrementangles);
  TraceTable& read = s_.forma_llegida;

  s_.xPur = std::cos(read.angle(n)) * radius;
  s_.yPur = std::sin(read.angle(n)) * radius;
  plotShapePoint(plot_, s_.xPur, s_.yPur);
  s_.contadorDadesRebudes = n + 1;
  w_.setValue(Control::ProgressBar1, n + 1);
  return true;
}

void Capture::takeTrailerWord() {
  int jobs = 0;
  if (!takeWord(jobs)) return;
  w_.setText(Control::contadorLectures, "Rev.[" + std::to_string(jobs) + "]");
  s_.contador_treballs = jobs;
  s_.contadorDadesRebudes += 1;
}

void Capture::finishRead() {
  s_.esticCapturant = 0;
  if (port_.isOpen()) port_.close();
  show(texts::kReadFinished);
  w_.setValue(Control::ProgressBar1, 0);
  if (s_.estic_calibrant == 1) {
    endCalibration();
  } else {
    handOverShape();
  }
}

void Capture::endCalibration() {
  // 4096 samples summed; the mean is taken over the 4095 steps of a turn.
  s_.mitja_centre = s_.mitja_centre.toNumber() / 4095.0;
  if (hooks_.nous_valors_centre) hooks_.nous_valors_centre();
  setAll(w_, kEditControls, false);
  setAll(w_, kSendControls, false);
  enableReadControls(w_);
}

void Capture::handOverShape() {
  handOverTrace(s_.forma_llegida, s_.forma_treball);
  s_.signe_x = 1;
  s_.signe_y = 1;
  s_.gir_acumulat = 0.0;
  s_.forma_de_fitxer = 0;
  shapeStands();
  if (hooks_.shapeHandedOver) hooks_.shapeHandedOver();
}

void Capture::shapeStands() {
  setAll(w_, kEditControls, true);
  setAll(w_, kSendControls, true);
  setAll(w_, kReadControls, false);
}

std::string Capture::readChars(int count) {
  std::string chars = port_.read(count);
  consumed_ += chars.size();
  return chars;
}

bool Capture::takeWord(int& value) {
  // One character per read, as the port delivers them; a first byte without its second is
  // kept for the next step instead of being lost.
  while (pending_.size() < 2) {
    const std::string c = readChars(1);
    if (c.empty()) return false;
    pending_ += c;
  }
  const int high = static_cast<unsigned char>(pending_[0]);
  const int low = static_cast<unsigned char>(pending_[1]);
  pending_.clear();
  if (high >= 128) throw WordOverflow();
  value = 256 * high + low;
  return true;
}

int Capture::bytesWaiting() const { return port_.bytesWaiting() + static_cast<int>(pending_.size()); }

void Capture::show(std::string_view text) {
  w_.setText(Control::Text1, text);
  w_.repaint(Control::Text1);
}

}  // namespace kovrel
