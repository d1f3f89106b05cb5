#pragma once
// The second start's wake-up of the running copy, through the single-copy mechanism itself: the
// running copy listens on a local socket of this user's, and a second start says one word on it.
// It works whatever link carries the traces (a socket or a folder has no line to raise); the
// host's serial line stays the way in only when the running copy cannot be reached so.

#include <QLocalServer>
#include <QObject>
#include <functional>
#include <string>

namespace kovrel {

// The running copy's side. Only the wake word, once, is ever read from a connection; anything
// else, or silence past a second, closes it.
class WakeChannel : public QObject {
 public:
  WakeChannel(std::string name, std::function<void()> wake, QObject* parent = nullptr);
  ~WakeChannel() override;
  WakeChannel(const WakeChannel&) = delete;
  WakeChannel& operator=(const WakeChannel&) = delete;

  // Starts listening (a socket left by a copy that died is replaced); false when it cannot.
  bool listen();

 private:
  std::string name_;
  std::function<void()> wake_;
  QLocalServer server_;
};

// The second start's side: true when the running copy on `name` took the word within
// `timeoutMs` (it waits, bounded; this copy is leaving and shows nothing).
bool wakeRunningCopy(const std::string& name, int timeoutMs = 1000);

// This user's channel name: "kovrel-" and the user's login.
std::string userWakeName();

}  // namespace kovrel
