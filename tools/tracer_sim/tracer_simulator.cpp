#include "tracer_simulator.h"

#include <chrono>
#include <fstream>

#include "sim_args.h"

namespace kovrel::tools {
namespace {

// A tick every 5 ms hands over about 29 bytes at the line rate; the absolute schedule makes up
// for ticks that come late.
constexpr int kPacedTickMs = 5;
constexpr int kFastTickMs = 1;

}  // namespace

TracerSimulator::TracerSimulator(PtyLink& link, ReadSource& source, Options options, QObject* parent)
    : QObject(parent),
      link_(link),
      source_(&source),
      options_(std::move(options)),
      pacer_(options_.fast ? 0 : kTracerBytesPerSecond) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(options_.fast ? kFastTickMs : kPacedTickMs);
  connect(&timer_, &QTimer::timeout, this, &TracerSimulator::pump);
}

LinePacer::Nanoseconds TracerSimulator::now() {
  return std::chrono::duration_cast<LinePacer::Nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void TracerSimulator::start() {
  if (sending()) {
    emit message(QStringLiteral("busy: read %1 is still going out").arg(reads_));
    return;
  }
  std::vector<std::uint8_t> bytes = source_->read(options_.firstJob + reads_);
  ++reads_;
  if (!options_.recordPath.empty()) {
    const std::string path = recordPathFor(options_.recordPath, reads_);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) emit message(QStringLiteral("cannot record to %1").arg(QString::fromStdString(path)));
  }
  const int size = static_cast<int>(bytes.size());
  pacer_.begin(std::move(bytes), now());
  emit readStarted(reads_, size);
  timer_.start();
  pump();
}

void TracerSimulator::pump() {
  link_.drain();  // the program never talks to the machine; keep its side from filling up
  if (!pacer_.active()) {
    timer_.stop();
    return;
  }
  const auto due = pacer_.due(now());
  if (!due.empty()) {
    const long taken = link_.write(due.data(), due.size());
    if (taken < 0) {
      timer_.stop();
      emit lineLost();
      return;
    }
    pacer_.consumed(static_cast<std::size_t>(taken));
    emit progress(static_cast<int>(pacer_.sent()), static_cast<int>(pacer_.total()));
  }
  if (pacer_.finished()) {
    timer_.stop();  // the read is out
    emit readFinished(reads_);
  }
}

}  // namespace kovrel::tools
