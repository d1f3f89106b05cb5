// The TCP link on real sockets, loopback only (127.0.0.1 and ::1): a host program's side plays
// the exchange while hostile peers connect, flood, drip and stay silent between its sends.

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

#include "../host/send_rig.h"
#include "base/qt_timer.h"
#include "base/texts.h"
#include "fake_timer.h"
#include "host/oma_framing.h"
#include "links/qt_tcp_peers.h"
#include "links/tcp_link.h"
#include "qt_event_loop.h"

namespace kovrel {
namespace {

using namespace kovrel::testing;
using Bytes = std::vector<std::uint8_t>;

// The lab program on its socket: answers each request (ending RS GS) with ACK and a short
// message, and keeps what it received.
class LoopbackHost {
 public:
  explicit LoopbackHost(QTcpSocket* socket) : socket_(socket) {
    QObject::connect(socket_, &QTcpSocket::readyRead, [this] {
      const QByteArray in = socket_->readAll();
      received.insert(received.end(), in.begin(), in.end());
      if (received.size() >= 2 && received[received.size() - 2] == oma::RS && received.back() == oma::GS &&
          received.size() != answeredAt) {
        answeredAt = received.size();
        socket_->write("\x06\x1cJOB=\"1\"\r\n\x1e\x1d");
      }
    });
  }
  bool answerEnded() const { return received.size() > 3 && received.back() == oma::ACK; }
  QTcpSocket* socket_;
  Bytes received;
  std::size_t answeredAt = 0;
};

// One send over the rig's link; true when it ended with the success text.
bool sent(SendRig& rig) {
  rig.cmd->interpola_Click();
  processEventsUntil([&] { return !rig.cmd->busy(); }, 3000);
  return rig.text() == texts::kSentOk;
}

std::unique_ptr<QTcpSocket> connectTo(const QString& address, int port) {
  auto socket = std::make_unique<QTcpSocket>();
  socket->connectToHost(address, static_cast<quint16>(port));
  processEventsUntil([&] { return socket->state() == QAbstractSocket::ConnectedState; }, 2000);
  return socket;
}

TEST(TcpLoopback, waitingForTheHostEverySendSucceedsAmongHostilePeersAndTheyAreClosed) {
  for (const QString& address : {QStringLiteral("127.0.0.1"), QStringLiteral("::1")}) {
    QtTcpPeers peers;
    FakeTimer retry;
    TcpLink link(TcpLink::Mode::Listen, "", 0, {}, peers, retry);
    std::string error;
    ASSERT_TRUE(peers.listen(0, error)) << error;
    const int port = peers.listeningPort();
    SendRig rig(link);
    EXPECT_FALSE(sent(rig)) << "no host yet";

    std::unique_ptr<QTcpSocket> hostSocket = connectTo(address, port);
    LoopbackHost host(hostSocket.get());
    ASSERT_TRUE(processEventsUntil([&] { return link.present(); }));
    for (QTcpSocket* ours : peers.findChildren<QTcpSocket*>())  // the answer at once; a host gone found out
      EXPECT_TRUE(ours->socketOption(QAbstractSocket::LowDelayOption).toInt() == 1 &&
                  ours->socketOption(QAbstractSocket::KeepAliveOption).toInt() == 1);
    std::vector<std::unique_ptr<QTcpSocket>> hostile;
    for (int round = 0; round < 10; ++round) {
      // Garbage, an oversize line, a half-open peer and a slow drip, before and during the send.
      for (const QByteArray& junk : {QByteArray("GET / HTTP/1.1\r\n\r\n"), QByteArray(100000, 'A'),
                                     QByteArray(), QByteArray("\x1d")}) {
        hostile.push_back(connectTo(address, port));
        if (!junk.isEmpty()) hostile.back()->write(junk);
      }
      host.received.clear(), host.answeredAt = 0;
      ASSERT_TRUE(sent(rig)) << round << " " << rig.text();
      EXPECT_TRUE(processEventsUntil([&] { return host.answerEnded(); })) << round;
      EXPECT_EQ(Bytes(host.received.begin(), host.received.begin() + 5),
                (Bytes{oma::FS, 'R', 'E', 'Q', '='}));
    }
    // Every hostile peer was closed by the link (the silent ones at the request after them).
    ASSERT_TRUE(sent(rig));
    EXPECT_TRUE(processEventsUntil([&] {
      return std::all_of(hostile.begin(), hostile.end(),
                         [](const auto& h) { return h->state() == QAbstractSocket::UnconnectedState; });
    })) << address.toStdString();
    EXPECT_EQ(link.peerCount(), 1u);
  }
}

TEST(TcpLoopback, connectingToTheHostItSendsAndComesBackAfterTheHostDropsTheConnection) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  QtTcpPeers peers;
  QtTimer retry(20);
  TcpLink link(TcpLink::Mode::Connect, "127.0.0.1", server.serverPort(), {}, peers, retry);
  SendRig rig(link);
  for (int connection = 0; connection < 2; ++connection) {
    ASSERT_TRUE(processEventsUntil([&] { return server.hasPendingConnections(); }));
    std::unique_ptr<QTcpSocket> accepted(server.nextPendingConnection());
    LoopbackHost host(accepted.get());
    ASSERT_TRUE(processEventsUntil([&] { return link.present(); }));
    EXPECT_EQ(link.label(), " TCP 127.0.0.1:" + std::to_string(server.serverPort()));
    ASSERT_TRUE(sent(rig)) << connection;
    accepted->disconnectFromHost();
    EXPECT_TRUE(processEventsUntil([&] { return !link.present(); }));
  }
}

}  // namespace
}  // namespace kovrel
