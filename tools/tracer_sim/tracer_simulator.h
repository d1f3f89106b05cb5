#pragma once
// The simulated tracer on its serial line: on START it takes the next read from its source and
// writes it into the pseudo-terminal at the machine's line rate (or as fast as the line takes
// it), saving each read when asked. The program on the other side cannot tell it from the
// real machine.

#include <QObject>
#include <QTimer>
#include <string>

#include "line_pacer.h"
#include "pty_link.h"
#include "read_source.h"

namespace kovrel::tools {

class TracerSimulator : public QObject {
  Q_OBJECT
 public:
  struct Options {
    bool fast = false;
    std::string recordPath;  // empty: reads are not saved
    int firstJob = 1;        // job counter of the first read; the machine counts on by one
  };

  TracerSimulator(PtyLink& link, ReadSource& source, Options options, QObject* parent = nullptr);

  // START pressed on the machine. Ignored while a read is still going out, as the machine is
  // busy turning.
  void start();
  bool sending() const { return pacer_.active(); }
  // Switches the source (the window's outline chooser); takes effect at the next START.
  void setSource(ReadSource& source) { source_ = &source; }

 signals:
  void readStarted(int number, int bytes);
  void progress(int sent, int total);
  void readFinished(int number);
  void lineLost();
  void message(const QString& text);

 private:
  void pump();
  static LinePacer::Nanoseconds now();

  PtyLink& link_;
  ReadSource* source_;
  Options options_;
  LinePacer pacer_;
  QTimer timer_;
  int reads_ = 0;
};

}  // namespace kovrel::tools
