#include "links/qt_tcp_peers.h"

#include <QHostAddress>

namespace kovrel {

std::string plainAddress(const QHostAddress& address) {
  bool v4 = false;
  const quint32 ipv4 = address.toIPv4Address(&v4);
  return (v4 ? QHostAddress(ipv4) : address).toString().toStdString();
}

QtTcpPeers::QtTcpPeers(QObject* parent) : QObject(parent) {
  QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) adopt(socket, false);
  });
}

QtTcpPeers::~QtTcpPeers() {
  for (QTcpSocket* socket : std::as_const(sockets_)) {
    socket->disconnect(this);
    socket->abort();
    delete socket;
  }
  server_.close();
}

bool QtTcpPeers::listen(int port, std::string& error) {
  if (server_.listen(QHostAddress::Any, static_cast<quint16>(port))) return true;
  // The technician's words for the usual causes; the network layer's own text for the rest.
  switch (server_.serverError()) {
    case QAbstractSocket::AddressInUseError:
      error = "otro programa lo usa";
      break;
    case QAbstractSocket::SocketAccessError:
      error = "sin permiso para usarlo";
      break;
    default:
      error = server_.errorString().toStdString();
  }
  return false;
}

int QtTcpPeers::listeningPort() const { return server_.serverPort(); }

void QtTcpPeers::connectTo(const std::string& address, int port) {
  auto* socket = new QTcpSocket(this);
  adopt(socket, true);
  socket->connectToHost(QString::fromStdString(address), static_cast<quint16>(port));
}

void QtTcpPeers::adopt(QTcpSocket* socket, bool outgoing) {
  const int id = next_++;
  sockets_.insert(id, socket);
  socket->setParent(this);
  // The answer goes out whole at once, and a host that vanished without closing is found out.
  const auto options = [socket] {
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
  };
  if (!outgoing) options();
  QObject::connect(socket, &QTcpSocket::readyRead, this, [this, id, socket] {
    // Read in bounded chunks: the link drops a peer that floods, and stops reading it then.
    while (sockets_.contains(id) && socket->bytesAvailable() > 0) {
      const QByteArray chunk = socket->read(4096);
      if (chunk.isEmpty()) break;
      if (onBytes)
        onBytes(id, reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                static_cast<std::size_t>(chunk.size()));
    }
  });
  QObject::connect(socket, &QTcpSocket::disconnected, this, [this, id, socket] {
    if (!sockets_.remove(id)) return;
    closeSocket(socket);
    if (onGone) onGone(id);
  });
  if (outgoing) {
    QObject::connect(socket, &QTcpSocket::connected, this, [this, id, socket, options] {
      socket->setProperty("up", true);
      options();
      if (onConnected) onConnected(id, plainAddress(socket->peerAddress()));
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, this, [this, id, socket] {
      // A failed attempt (refused, unreachable, no such name); a connection that was up ends in
      // `disconnected` instead.
      if (socket->property("up").toBool() || !sockets_.remove(id)) return;
      closeSocket(socket);
      if (onConnectFailed) onConnectFailed();
    });
  } else if (onConnected) {
    onConnected(id, plainAddress(socket->peerAddress()));
  }
}

void QtTcpPeers::send(int peer, const std::vector<std::uint8_t>& bytes) {
  if (QTcpSocket* socket = sockets_.value(peer))
    socket->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void QtTcpPeers::drop(int peer) {
  if (QTcpSocket* socket = sockets_.take(peer)) closeSocket(socket);
}

void QtTcpPeers::closeSocket(QTcpSocket* socket) {
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

}  // namespace kovrel
