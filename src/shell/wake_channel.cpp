#include "shell/wake_channel.h"

#include <QLocalSocket>
#include <QTimer>

namespace kovrel {
namespace {

constexpr char kWakeWord[] = "kovrel-mostrar\n";
constexpr qint64 kWakeWordSize = sizeof kWakeWord - 1;

}  // namespace

WakeChannel::WakeChannel(std::string name, std::function<void()> wake, QObject* parent)
    : QObject(parent), name_(std::move(name)), wake_(std::move(wake)) {
  // Only this user may connect (the socket file's permissions).
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
      QTimer::singleShot(1000, peer, [peer] { peer->abort(); });
      connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
        if (peer->bytesAvailable() < kWakeWordSize) return;
        const bool word = peer->read(kWakeWordSize) == QByteArray(kWakeWord, kWakeWordSize);
        peer->write(word ? "ok\n" : "no\n");
        peer->disconnectFromServer();
        if (word && wake_) wake_();
      });
    }
  });
}

WakeChannel::~WakeChannel() { server_.close(); }

bool WakeChannel::listen() {
  const QString name = QString::fromStdString(name_);
  if (server_.listen(name)) return true;
  // Called by the copy that holds the single-copy lock: a socket still there is a dead copy's.
  QLocalServer::removeServer(name);
  return server_.listen(name);
}

bool wakeRunningCopy(const std::string& name, int timeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(QString::fromStdString(name));
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kWakeWord, kWakeWordSize);
  const bool answered = socket.waitForBytesWritten(timeoutMs) && socket.waitForReadyRead(timeoutMs) &&
                        socket.readLine(8) == "ok\n";
  socket.abort();
  return answered;
}

std::string userWakeName() {
  QByteArray user = qgetenv("USER");
  if (user.isEmpty()) user = qgetenv("USERNAME");
  return "kovrel-" + (user.isEmpty() ? std::string("user") : user.toStdString());
}

}  // namespace kovrel
