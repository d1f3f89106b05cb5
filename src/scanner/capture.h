#pragma once
// The read of a shape: the tracer streams a 64-byte header, a 16-bit temperature, 4096 16-bit
// arm counts and two 16-bit job-counter words. Capture decodes that stream one unit per step
// (one header byte, the temperature, one sample, one trailer word), keeping its progress in the
// shared state between steps, plots every sample as it arrives and, at the end, hands the shape
// to the rest of the program in forma_treball.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/shared_state.h"
#include "base/window.h"
#include "scanner/plot.h"
#include "scanner/serial_port.h"

namespace kovrel {

// The turntable's fixed step between two samples, radians (one turn in 4095 steps).
inline constexpr double kTurntableStep = 0.00153435538;
inline constexpr double kFullTurn = 6.28318530718;  // radians
inline constexpr double kCapturePi = 3.14159265;    // the capture's value of pi
inline constexpr int kSamplesPerRead = 4096;
inline constexpr int kHeaderBytes = 64;
inline constexpr int kReadBytes = kHeaderBytes + 2 + 2 * kSamplesPerRead + 2 * 2;  // 8262

class Capture {
 public:
  struct Hooks {
    std::function<void()> saveSettings;        // guarda_dades, after a header is taken
    std::function<void()> nous_valors_centre;  // end of a centre calibration
    std::function<void()> shapeHandedOver;     // end of a read: forma_treball holds its shape
  };

  Capture(SharedState& state, Window& window, Plot& plot, SerialPort& port, Hooks hooks);

  // One capture step (the first call of a read opens the port and arms the read).
  void captura_dibuixa();
  // Receive notification of the tracer port: handles every complete unit waiting, in order,
  // exactly as if each had raised its own event. Does nothing unless a read is under way.
  void onReceive();
  // Stop button: ends the read, shows the abort text, brings the read and exit buttons back.
  void parada_Click();
  // A shape put into forma_treball from elsewhere (a kept read, a trace file) stands as a
  // finished read's does: the edit and send buttons on, the read's off. It is no read: the
  // hook of a read's end is not told. The caller shows the read's end text and draws the shape.
  void shapeStands();

 private:
  void step();
  void startRead();
  void configurePort();
  // Each returns false when the step must end at once (the read was stopped).
  bool takeHeaderByte(bool headerMode);
  void takeTemperature(bool headerMode);
  bool takeSample();
  void takeTrailerWord();
  void finishRead();
  void endCalibration();
  void handOverShape();

  std::string readChars(int count);
  // Two bytes high first as a 16-bit signed value; false while they are not both there yet.
  bool takeWord(int& value);
  int bytesWaiting() const;
  void show(std::string_view text);

  SharedState& s_;
  Window& w_;
  Plot& plot_;
  SerialPort& port_;
  Hooks hooks_;
  std::string pending_;       // first byte of a 16-bit value whose second byte is late
  std::size_t consumed_ = 0;  // bytes taken from the port so far (tells a step that waited)
};

}  // namespace kovrel
