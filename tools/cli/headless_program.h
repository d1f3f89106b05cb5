#pragma once
// The program without its window: the same shared state, capture, shape editor, size offsets
// and send command as the real one, wired to an in-memory window, plot, timers, clock and
// ports. Each operator action goes through the handler the button would call, so what comes
// out is what the program would do with the same read and the same clicks.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/read_command.h"
#include "archive/kept_read.h"
#include "base/shared_state.h"
#include "fake_plot.h"
#include "fake_serial_port.h"
#include "fake_timer.h"
#include "fake_virtual_port.h"
#include "fake_window.h"
#include "geometry/shape_editor.h"
#include "host/oma_framing.h"
#include "host/send_command.h"
#include "links/serial_link.h"
#include "scanner/capture.h"
#include "settings/size_offsets.h"

namespace kovrel::cli {

class HeadlessProgram {
 public:
  // A real link to a host in place of the in-memory one: the send runs on it with the wall clock,
  // `wait` turning the event loop a little (at most 50 ms) between the exchange's polls.
  struct RealLink {
    HostLink* link = nullptr;
    Clock* clock = nullptr;
    std::function<void()> wait;
  };

  // A freshly installed program (default settings) with this filter setting and general offset.
  HeadlessProgram(double filterscope, double generalOffsetMm);
  HeadlessProgram(double filterscope, double generalOffsetMm, RealLink real);
  HeadlessProgram(const HeadlessProgram&) = delete;
  HeadlessProgram& operator=(const HeadlessProgram&) = delete;

  // The read button, then the tracer's bytes. True when the read completed; otherwise the read
  // was stopped (or, for a stream that ends early, stopped by the operator's stop button) and
  // message() says what the operator saw.
  bool read(const std::vector<std::uint8_t>& stream);

  // A kept read or a trace file stands on the plot in place of a read (the history's "Cargar").
  // Empty when it stands, else why the file cannot be used (nothing changed).
  std::string load(const TraceFileContent& file);

  // One click of the mirror button.
  void mirror();
  // `steps` single steps of the counter-clockwise button (> 0) or of the clockwise one (< 0):
  // each a press, one timer tick and a release.
  void turn(int steps);

  // The send button, the lens-type choice (with the manual offset typed first when given) and
  // a host that acknowledges and sends an empty message (or the real link's host). True when the
  // send ended with the program's success text; `answer` then holds every byte written after the
  // host's GS (nothing over a real link).
  bool send(LensType lens, bool lensChosen, std::optional<double> manualMm, oma::Bytes& answer);

  // Drops what the in-memory window, plot and ports have recorded so far (texts shown, bytes
  // written, calls made): a long run of reads then holds only what the program itself keeps.
  void forgetRecordings();

  // The text of the information box: the operator's last message.
  std::string message() const { return window_.text(Control::Text1); }
  const SharedState& state() const { return state_; }

 private:
  void settleAnimations();

  RealLink real_;
  SharedState state_;
  testing::FakeWindow window_;
  testing::FakePlot plot_;
  testing::FakeSerialPort tracerPort_;
  testing::FakeVirtualPort hostPort_;
  SerialLink hostLink_{hostPort_, state_};
  testing::FakeClock clock_;
  testing::FakeTimer timer1_, timer2_, timerHorari_, timerAntiHorari_, pollTimer_;
  Capture capture_;
  ReadCommand readCommand_;
  ShapeEditor editor_;
  SizeOffsets offsets_;
  SendCommand send_;
};

}  // namespace kovrel::cli
