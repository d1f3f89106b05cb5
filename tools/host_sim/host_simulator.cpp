#include "host_simulator.h"

#include <chrono>

namespace kovrel::tools {
namespace {

// Fine enough for the host's own schedule (a slow host spreads its message over 8 s).
constexpr int kTickMs = 10;

}  // namespace

HostSimulator::HostSimulator(std::unique_ptr<HostLine> line, HostConfig config, bool once,
                             std::function<std::unique_ptr<HostLine>()> reopen,
                             std::chrono::milliseconds reopenDelay, QObject* parent)
    : QObject(parent),
      line_(std::move(line)),
      session_(config),
      once_(once),
      reopen_(std::move(reopen)),
      reopenDelay_(reopenDelay) {
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, &HostSimulator::tick);
  timer_.start();
  attach();
}

HostSession::Nanoseconds HostSimulator::now() {
  return std::chrono::duration_cast<HostSession::Nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void HostSimulator::attach() {
  notifier_ = std::make_unique<QSocketNotifier>(line_->fd(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &HostSimulator::readLine);
}

void HostSimulator::readLine() {
  std::uint8_t buffer[512];
  for (;;) {
    const long n = line_->read(buffer, sizeof buffer);
    if (n < 0) {
      notifier_->setEnabled(false);
      timer_.stop();
      emit lineLost();
      return;
    }
    if (n == 0) break;
    session_.received(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), now());
  }
  settle();
}

void HostSimulator::tick() {
  if (!line_) return;
  const HostSession::Bytes out = session_.due(now());
  if (!out.empty() && !line_->writeAll(out.data(), out.size())) {
    timer_.stop();
    emit lineLost();
    return;
  }
  settle();
}

void HostSimulator::settle() {
  if (!announcedRequest_ && session_.phase() != HostSession::Phase::WaitingRequest) {
    announcedRequest_ = true;
    emit requestReceived(QString::fromStdString(session_.requestJob()));
  }
  if (session_.closeRequested() && line_) {
    notifier_.reset();
    line_->close();
    line_.reset();
  }
  if (session_.phase() != HostSession::Phase::Finished) return;

  emit exchangeDone(static_cast<int>(session_.outcome()));
  if (once_) {
    timer_.stop();
    return;
  }
  session_.reset();
  announcedRequest_ = false;
  if (!line_) {
    // The host comes back after closing its port, as an operator restarting it would.
    QTimer::singleShot(reopenDelay_, this, [this] {
      line_ = reopen_ ? reopen_() : nullptr;
      if (!line_) {
        emit lineLost();
        return;
      }
      attach();
    });
  }
}

}  // namespace kovrel::tools
