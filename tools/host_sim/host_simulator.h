#pragma once
// The host session on a real line: reads what the program writes as it arrives, writes the
// host's bytes when they are due, and reports each exchange.

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <memory>

#include "host_line.h"
#include "host_session.h"

namespace kovrel::tools {

class HostSimulator : public QObject {
  Q_OBJECT
 public:
  // `reopen` opens the line again after a close-mid when the simulator keeps serving.
  HostSimulator(std::unique_ptr<HostLine> line, HostConfig config, bool once,
                std::function<std::unique_ptr<HostLine>()> reopen, QObject* parent = nullptr);

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
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer timer_;
  bool announcedRequest_ = false;
};

}  // namespace kovrel::tools
