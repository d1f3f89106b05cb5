#pragma once
// The host session on a real line: reads what the program writes as it arrives, writes the
// host's bytes when they are due, and reports each exchange.

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "host_line.h"
#include "host_session.h"

namespace kovrel::tools {

class HostSimulator : public QObject {
  Q_OBJECT
 public:
  // `reopen` opens the line again, `reopenDelay` after a close-mid, when the simulator keeps serving
  // (an operator restarting the host takes about a second).
  HostSimulator(std::unique_ptr<HostLine> line, HostConfig config, bool once,
                std::function<std::unique_ptr<HostLine>()> reopen,
                std::chrono::milliseconds reopenDelay = std::chrono::seconds(1), QObject* parent = nullptr);

  const HostSession& session() const { return session_; }

 signals:
  void requestReceived(const QString& job);
  void exchangeDone(int outcome);  // HostSession::Outcome
  void lineLost();

 private:
  void readLine();
  void tick();
  void attach();
  void settle();
  static HostSession::Nanoseconds now();

  std::unique_ptr<HostLine> line_;
  HostSession session_;
  bool once_;
  std::function<std::unique_ptr<HostLine>()> reopen_;
  std::chrono::milliseconds reopenDelay_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer timer_;
  bool announcedRequest_ = false;
};

}  // namespace kovrel::tools
