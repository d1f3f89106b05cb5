#include "settings/encoder_monitor.h"

#include <string>
#include <utility>

#include "settings/config_texts.h"

namespace kovrel {
namespace {

// The dot that blinks once per reading: filled, or back to its resting look.
constexpr Rgb kBlinkFilled = kBlue;
constexpr Rgb kBlinkClear = kBlack;

}  // namespace

EncoderMonitor::EncoderMonitor(SharedState& state, Window& window, SerialPort& port, Timer& timer,
                               Hooks hooks)
    : s_(state), w_(window), port_(port), timer_(timer), hooks_(std::move(hooks)) {
  timer_.onTick = [this] { TimerEncoder_Timer(); };
  port_.onReceive = [this] { onReceive(); };
}

void EncoderMonitor::CentEncBtn_Click() {
  if (isOn()) {
    switchOff();
  } else if (!switchOn()) {
    return;  // the box says why; the monitor stays off
  }
  shown_ = 0;
  w_.setText(Control::CalibracioEncoderTxt, "0");
}

void EncoderMonitor::switchOff() {
  w_.setChecked(Control::PortEncEstatOpc, false);
  if (port_.isOpen()) port_.close();
  if (timer_.isActive()) timer_.stop();
}

bool EncoderMonitor::switchOn() {
  // As root every open succeeds, so the capture's own hold on the port is asked, not the system.
  if (s_.esticCapturant == 1) {
    w_.setText(Control::Text1, texts::kEncoderPortBusyReading);
    return false;
  }
  if (!port_.isOpen()) {
    const double com = s_.comport1.toNumber();
    const int number = com >= 1 && com <= 9999 ? static_cast<int>(com) : 0;
    const int error = number == 0 ? kErrNoSuchPort : port_.open(number, kTracerLineSettings);
    if (error != 0) {
      const std::string_view why = error == kErrNoSuchPort  ? texts::kEncoderPortMissing
                                   : error == kErrPortInUse ? texts::kEncoderPortInUse
                                                            : texts::kEncoderPortFailed;
      w_.setText(Control::Text1, std::string(why) + s_.comport1.toText());
      return false;
    }
    port_.setReceiveThreshold(2);
    port_.clearInput();
  }
  w_.setChecked(Control::PortEncEstatOpc, true);
  s_.primeraLecturaEncoder = "0";
  if (!timer_.isActive()) timer_.start();
  return true;
}

void EncoderMonitor::yieldToRead() {
  if (!isOn() && !port_.isOpen()) return;
  switchOff();
  w_.setText(Control::CalibracioEncoderTxt, "0");
}

void EncoderMonitor::onReceive() {
  if (!isOn()) return;
  bool any = false;
  // Every pair waiting, in order: one per notification would leave the display behind the arm.
  while (port_.bytesWaiting() >= 2) {
    const std::string first = port_.read(1);
    if (first.empty()) break;
    // A reading never reaches 32768: a first byte of 128 or more is a low byte, so the stream
    // is one byte out of step. Dropping it finds the step again.
    const int high = static_cast<unsigned char>(first[0]);
    if (high >= 128) continue;
    const std::string second = port_.read(1);
    if (second.empty()) break;
    take(256 * high + static_cast<unsigned char>(second[0]));
    any = true;
  }
  if (any) w_.repaint(Control::CalibracioEncoderTxt);
}

void EncoderMonitor::take(int reading) {
  filled_ = !filled_;
  w_.setForeColor(Control::monitorEncoderShp, filled_ ? kBlinkFilled : kBlinkClear);
  s_.datoEncoder = std::to_string(reading);
  if (s_.primeraLecturaEncoder != "1") {
    shown_ = 0;
    w_.setText(Control::CalibracioEncoderTxt, "0");
    s_.datoEncoderPetit = reading;
    s_.datoEncoderGran = reading;
    s_.primeraLecturaEncoder = "1";
  }
  if (reading < s_.datoEncoderPetit.toNumber()) s_.datoEncoderPetit = reading;
  if (reading > s_.datoEncoderGran.toNumber()) s_.datoEncoderGran = reading;
  const int spread = static_cast<int>(s_.datoEncoderGran.toNumber() - s_.datoEncoderPetit.toNumber());
  if (spread > shown_) {
    shown_ = spread;
    w_.setText(Control::CalibracioEncoderTxt, std::to_string(spread));
  }
}

void EncoderMonitor::TimerEncoder_Timer() {
  // A new period: the next reading starts the spread again from 0.
  s_.datoEncoder = "0";
  s_.datoEncoderGran = 0;
  s_.datoEncoderPetit = 0;
  s_.primeraLecturaEncoder = "0";
  if (hooks_.beep) hooks_.beep();
}

}  // namespace kovrel
