#include "host/send_command.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "base/number_text.h"
#include "base/texts.h"
#include "geometry/prepare_steps.h"
#include "host/oma_framing.h"

namespace kovrel {
namespace {

// Buttons that act on the read shape; the prompt and a delivered shape lock them.
constexpr Control kShapeEditButtons[] = {Control::antiHorari, Control::Horari, Control::mirallHoritzontal};

// Every control an operator can act on. While the exchange runs the window takes no input, so
// these show disabled; the exchange's ending then starts from the states they had before.
constexpr Control kOperatorControls[] = {Control::llegirBtn,
                                         Control::parada,
                                         Control::sortirBtn,
                                         Control::cfg_btn,
                                         Control::interpola,
                                         Control::antiHorari,
                                         Control::Horari,
                                         Control::mirallHoritzontal,
                                         Control::autochk,
                                         Control::openCfgBtn,
                                         Control::CompSiNoChk,
                                         Control::noCapsaleraChk,
                                         Control::noMidesChk,
                                         Control::calibraCentreChk,
                                         Control::ActualitzaDatoChk,
                                         Control::CentEncBtn,
                                         Control::offset_mida,
                                         Control::OffsetMenysBtn,
                                         Control::OffsetMesBtn,
                                         Control::OK_manualbtn,
                                         Control::SurtEviaOma,
                                         Control::mes_offset,
                                         Control::menys_offset,
                                         Control::sortir_offset};

// What the lens-type prompt locks and its "x" gives back (the x itself turns STOP on).
constexpr Control kPromptLocked[] = {Control::antiHorari, Control::Horari,    Control::mirallHoritzontal,
                                     Control::cfg_btn,    Control::interpola, Control::llegirBtn};

bool isRecordSeparator(std::uint8_t b) {
  return b == oma::FS || b == oma::LF || b == oma::CR || b == oma::RS;
}

// The coded trace of forma_auxiliar: rows 2..800 of the radius column hold whole codes 0..255.
std::vector<int> differenceCodes(const TraceTable& forma_auxiliar) {
  std::vector<int> codes;
  codes.reserve(799);
  for (int n = 2; n <= 800; ++n) codes.push_back(static_cast<int>(std::lround(forma_auxiliar.radius(n))));
  return codes;
}

}  // namespace

SendCommand::SendCommand(SharedState& state, Window& window, Plot& plot, HostLink& link, Clock& clock,
                         Timer& pollTimer, Hooks hooks)
    : s_(state),
      w_(window),
      plot_(plot),
      link_(link),
      clock_(clock),
      pollTimer_(pollTimer),
      hooks_(std::move(hooks)) {
  if (!hooks_.prepare) hooks_.prepare = prepareShape;
  pollTimer_.onTick = [this] { poll(); };
  link_.onBytesArrived = [this] { poll(); };
}

SendCommand::~SendCommand() {
  pollTimer_.onTick = nullptr;
  link_.onBytesArrived = nullptr;
}

std::string SendCommand::sizesLine(double mida_h, double mida_v, double offset_radi, char decimalSeparator) {
  std::string line(texts::kSizesHorizontal);
  line += localeNumber(mida_h, decimalSeparator);
  line += texts::kSizesVertical;
  line += localeNumber(mida_v, decimalSeparator);
  line += "  ";
  line += localeNumber(offset_radi, decimalSeparator);
  return line;
}

bool SendCommand::openAndAskForHost(bool& hostWaiting) {
  try {
    link_.open();
    hostWaiting = link_.present();
    return true;
  } catch (const HostLinkError& e) {
    endPortUnavailable(e);
    return false;
  }
}

void SendCommand::interpola_Click() {
  // The exchange under way owns the port until it ends.
  if (busy()) return;

  // A new read must first get its lens type; the operator's choice starts the send again.
  if (s_.tipoMontura == 0) {
    beforePrompt_.clear();  // the states noted afresh (a prompt shown again notes them over)
    for (Control c : kPromptLocked) beforePrompt_.emplace_back(c, w_.isEnabled(c));
    for (Control c : kShapeEditButtons) w_.setEnabled(c, false);
    for (Control c : {Control::cfg_btn, Control::interpola, Control::parada, Control::llegirBtn})
      w_.setEnabled(c, false);
    w_.setEnabled(Control::sortirBtn, true);
    if (hooks_.showLensTypePanel) hooks_.showLensTypePanel();
    return;
  }

  beforePrompt_.clear();  // a lens type was chosen: the send goes on
  bool hostWaiting = false;
  if (!openAndAskForHost(hostWaiting)) return;
  // Reads without the tracer's header and sizes-only runs are bench work: they may prepare the
  // shape with no host listening.
  if (!w_.isChecked(Control::noCapsaleraChk) && !w_.isChecked(Control::noMidesChk) && !hostWaiting) {
    endNoHost(false);
    return;
  }

  w_.setPasswordMode(Control::Text1, false);
  w_.setText(Control::Text1, texts::kSending);
  w_.repaint(Control::Text1);

  if (!prepareIfNeeded()) return;

  if (!openAndAskForHost(hostWaiting)) return;
  if (!hostWaiting) {
    endNoHost(true);
    return;
  }

  // The answer is built before the request goes out: a shape the host's format cannot carry is
  // told as such now, rather than after the host has sent its message and waits for a reply.
  try {
    answer_ = oma::answerBytes(w_.text(Control::contadorLectures), s_.forma_auxiliar.radius(1),
                               differenceCodes(s_.forma_auxiliar));
  } catch (const std::range_error&) {
    w_.setText(Control::Text1, texts::kShapeNotSendable);
    w_.setEnabled(Control::parada, true);
    tellEnded();
    return;
  }

  try {
    link_.prepare();
    link_.write(oma::requestBytes(shortestNumber(s_.contador_treballs.toNumber())));
  } catch (const HostLinkError& e) {
    endPortMissing(&e);
    return;
  }
  s_.timeout_oma = clock_.currentSecond();
  records_.clear();
  record_ = 0;
  beforeExchange_.clear();
  for (Control c : kOperatorControls) {
    beforeExchange_.emplace_back(c, w_.isEnabled(c));
    w_.setEnabled(c, false);
  }
  phase_ = Phase::WaitingAck;
  pollTimer_.start();
  poll();
}

bool SendCommand::prepareIfNeeded() {
  if (s_.ja_Enviat == 1) return true;

  // The manual offset goes into every radius of the shape: a value that is not a number must
  // stop the send rather than reach the edger as some other size.
  double manualMm = 0.0;
  if (!parseLocaleNumber(w_.text(Control::offset_mida), w_.decimalSeparator(), manualMm)) {
    w_.setText(Control::Text1, texts::kManualOffsetInvalid);
    return false;
  }

  // A hand-edited filter setting far outside one turn is not a shape the edger should cut; the
  // stored text stays as it is for the technician to mend.
  const double filterscope = s_.filterscope.toNumber();
  if (!preparation::filterInRange(filterscope)) {
    w_.setText(Control::Text1, texts::kFilterOutOfRange);
    return false;
  }

  PreparedShape shape = hooks_.prepare(s_.forma_treball, preparationInputs(s_, manualMm, filterscope));
  s_.forma_auxiliar = std::move(shape.forma_auxiliar);
  s_.mida_h = shape.mida_h;
  s_.mida_v = shape.mida_v;
  s_.offset_radi = shape.offset_radi;

  clearAndDrawAxes(plot_);
  for (const auto& [x, y] : shape.plotPoints) plot_.point(x, y, 2);
  plot_.refresh();
  return true;
}

void SendCommand::poll() {
  if (!busy()) return;
  try {
    while (busy() && link_.pending() > 0) {
      std::vector<std::uint8_t> b = link_.read(1);
      if (b.empty()) break;
      handleByte(b.front());
    }
  } catch (const HostLinkError& e) {
    endPortMissing(&e);
    return;
  } catch (const std::range_error&) {
    endPortMissing();
    return;
  }
  // A host whose connection dropped mid-exchange will never answer: the send ends as for a
  // host that stopped reading, without waiting out the time limit.
  if (busy() && link_.lost()) {
    endTimeOut(phase_ == Phase::ReadingMessage);
    return;
  }
  if (busy()) checkTimeOut();
}

void SendCommand::handleByte(std::uint8_t b) {
  if (phase_ == Phase::WaitingAck) {
    if (b == oma::ACK) {
      s_.timeout_oma = clock_.currentSecond();
      records_.assign(1, std::string());
      record_ = 0;
      phase_ = Phase::ReadingMessage;
    } else if (b == oma::NAK) {
      endTimeOut(true);
    }
    // Anything else before the acknowledgement (a GS of an early message, line noise) is dropped.
    return;
  }

  if (b == oma::GS) {
    writeAnswer();
    return;
  }
  if (isRecordSeparator(b)) {
    ++record_;
    if (record_ < static_cast<std::size_t>(kMaxHostRecords)) records_.emplace_back();
    return;
  }
  // The host's records are kept, not interpreted: unknown labels, padding or a checksum record
  // change nothing in the answer. A message longer than the record table ends the exchange.
  if (record_ >= static_cast<std::size_t>(kMaxHostRecords))
    throw std::range_error("host message has more than 50 records");
  records_[record_].push_back(static_cast<char>(b));
}

int SendCommand::secondsWaited() const {
  // Only the clock's seconds field is kept, so a wait that crosses a minute adds 60.
  int now = clock_.currentSecond();
  int started = static_cast<int>(s_.timeout_oma.toNumber());
  if (now < started) now += 60;
  return now - started;
}

void SendCommand::checkTimeOut() {
  int limit = phase_ == Phase::WaitingAck ? kAckWaitSeconds : kMessageWaitSeconds;
  if (secondsWaited() > limit) endTimeOut(phase_ == Phase::ReadingMessage);
}

void SendCommand::writeAnswer() {
  link_.write(answer_);
  finish();

  const bool sizesOnly = w_.isChecked(Control::noMidesChk);
  w_.setText(Control::Text1, sizesOnly
                                 ? sizesLine(s_.mida_h, s_.mida_v, s_.offset_radi, w_.decimalSeparator())
                                 : std::string(texts::kSentOk));
  w_.repaint(Control::Text1);

  for (Control c : kShapeEditButtons) w_.setEnabled(c, false);
  for (Control c : {Control::parada, Control::offset_mida, Control::OffsetMesBtn, Control::OffsetMenysBtn})
    w_.setEnabled(c, false);
  for (Control c : {Control::interpola, Control::sortirBtn, Control::llegirBtn, Control::cfg_btn})
    w_.setEnabled(c, true);
  if (w_.isChecked(Control::autochk)) w_.setEnabled(Control::cfg_btn, false);  // automatic mode holds CONFIG
  s_.ja_Enviat = 1;
  // The manual offset was for the shape just delivered; the next read starts without it. A send
  // that failed keeps it, so the retry delivers the size the operator asked for.
  w_.setText(Control::offset_mida, "0");

  // In automatic mode the host's next request brings the window back.
  if (w_.isChecked(Control::autochk)) w_.setVisible(Control::Form1, false);
  tellEnded();
}

void SendCommand::lensTypePromptClosed() {
  for (const auto& [c, enabled] : beforePrompt_) w_.setEnabled(c, enabled);
  beforePrompt_.clear();
}

void SendCommand::finish() {
  pollTimer_.stop();
  phase_ = Phase::Idle;
  for (const auto& [c, enabled] : beforeExchange_) w_.setEnabled(c, enabled);
  beforeExchange_.clear();
}

void SendCommand::endNoHost(bool afterPreparing) {
  for (Control c : {Control::sortirBtn, Control::interpola, Control::parada}) w_.setEnabled(c, true);
  if (!afterPreparing) w_.setEnabled(Control::llegirBtn, false);
  w_.setText(Control::Text1, texts::kNoHostWaiting);
  if (afterPreparing && w_.isChecked(Control::noMidesChk)) {
    w_.setText(Control::Text1, sizesLine(s_.mida_h, s_.mida_v, s_.offset_radi, w_.decimalSeparator()));
    w_.setEnabled(Control::interpola, false);
  }
  tellEnded();
}

void SendCommand::endTimeOut(bool lockReadAndSend) {
  finish();
  w_.setText(Control::Text1, texts::kOmaTimeout);
  w_.setEnabled(Control::parada, true);
  if (lockReadAndSend) {
    w_.setEnabled(Control::interpola, false);
    w_.setEnabled(Control::llegirBtn, false);
  }
  tellEnded();
}

void SendCommand::endPortMissing(const HostLinkError* why) {
  finish();
  w_.setText(Control::Text1, why != nullptr && !why->operatorText().empty()
                                 ? why->operatorText()
                                 : std::string(texts::kOutputPortMissing));
  // After the lens-type prompt only SALIR would be left, and SALIR waits for the host to let go
  // of the port: STOP gives the operator a way on to a new read.
  w_.setEnabled(Control::parada, true);
  tellEnded();
}

void SendCommand::endPortUnavailable(const HostLinkError& why) {
  // The port was never created or its link is gone: only the ports set-up mends that. The
  // operator can still try again or leave.
  w_.setText(Control::Text1,
             why.operatorText().empty() ? std::string(texts::kVirtualPortUnavailable) : why.operatorText());
  w_.setEnabled(Control::sortirBtn, true);
  w_.setEnabled(Control::interpola, true);
  tellEnded();
}

void SendCommand::tellEnded() {
  if (hooks_.ended) hooks_.ended(w_.text(Control::Text1));
}

}  // namespace kovrel
