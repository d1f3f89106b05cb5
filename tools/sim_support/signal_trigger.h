#pragma once
// Unix signals turned into Qt signals on the event loop: a signal handler may only write to a
// pipe, so the handler writes the signal number and a socket notifier reads it back on the
// user-interface thread, where the simulators may act on it.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace kovrel::tools {

class SignalTrigger : public QObject {
  Q_OBJECT
 public:
  // Watches SIGUSR1 (START on the simulated machine) and SIGINT / SIGTERM (leave). One
  // instance per process.
  explicit SignalTrigger(QObject* parent = nullptr);
  ~SignalTrigger() override;

 signals:
  void startRequested();
  void quitRequested();

 private:
  void readPipe();
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kovrel::tools
