#pragma once
// The link's sockets over Qt Network: one outgoing connection (Kovrel connects) or a listening
// server (Kovrel waits), each connection a peer number. Everything runs on the user-interface
// thread's event loop; nothing here blocks.

#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <string>

#include "links/tcp_link.h"

namespace kovrel {

class QtTcpPeers : public QObject, public NetPeers {
 public:
  explicit QtTcpPeers(QObject* parent = nullptr);
  ~QtTcpPeers() override;
  QtTcpPeers(const QtTcpPeers&) = delete;
  QtTcpPeers& operator=(const QtTcpPeers&) = delete;

  // Listens on every address for `port` (the link filters who may stay); false with the
  // system's words in `error` when the port is taken or not ours to use.
  bool listen(int port, std::string& error);
  // The port listened on (the system's choice when 0 was asked).
  int listeningPort() const;

  void connectTo(const std::string& address, int port) override;
  void send(int peer, const std::vector<std::uint8_t>& bytes) override;
  void drop(int peer) override;

 private:
  void adopt(QTcpSocket* socket, bool outgoing);
  void closeSocket(QTcpSocket* socket);

  QTcpServer server_;
  QHash<int, QTcpSocket*> sockets_;
  int next_ = 1;
};

// The peer's address as the link's allow-list speaks of it: IPv4 for an IPv4-mapped address.
std::string plainAddress(const QHostAddress& address);

}  // namespace kovrel
