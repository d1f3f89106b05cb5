#include "links/make_link.h"

#include <QHostAddress>

#include "base/qt_timer.h"
#include "links/folder_link.h"
#include "links/qt_tcp_peers.h"
#include "links/serial_link.h"

namespace kovrel {
namespace {

// How often a waiting reconnect counts down; the pauses are 1, 2, 4 ... 32 of these.
constexpr int kRetryTickMs = 250;

struct TcpParts {
  QtTcpPeers peers;
  QtTimer retry{kRetryTickMs};
};

// The TCP link with the sockets and the timer it runs on.
class QtTcpLink : private TcpParts, public TcpLink {
 public:
  QtTcpLink(const LinkChoice& c, Mode mode)
      : TcpLink(mode, c.address, c.port, c.allowed, static_cast<TcpParts&>(*this).peers,
                static_cast<TcpParts&>(*this).retry) {}
  bool listen(int port, std::string& error) { return peers.listen(port, error); }
};

bool numericOrName(const std::string& address) {
  // A numeric address must be one; anything with only name characters is left to the resolver.
  const QString text = QString::fromStdString(address);
  if (QHostAddress(text).isNull()) {
    const bool looksNumeric = std::all_of(address.begin(), address.end(), [](char c) {
      return (c >= '0' && c <= '9') || c == '.' || c == ':';
    });
    return !looksNumeric;
  }
  return true;
}

}  // namespace

MadeLink makeHostLink(const LinkChoice& choice, VirtualPort& serialPort, const SharedState& state) {
  MadeLink made;
  if (std::optional<std::string> problem = choiceProblem(choice)) {
    made.refusal = *problem;
    return made;
  }
  switch (choice.kind) {
    case LinkKind::Serial:
      made.link = std::make_unique<SerialLink>(serialPort, state);
      break;
    case LinkKind::TcpConnect:
      if (!numericOrName(choice.address)) {
        made.refusal = "Dirección no válida: '" + choice.address + "'";
        break;
      }
      made.link = std::make_unique<QtTcpLink>(choice, TcpLink::Mode::Connect);
      break;
    case LinkKind::TcpListen: {
      for (const std::string& a : choice.allowed)
        if (QHostAddress(QString::fromStdString(a)).isNull()) {
          made.refusal = "Dirección permitida no válida: '" + a + "'";
          return made;
        }
      auto link = std::make_unique<QtTcpLink>(choice, TcpLink::Mode::Listen);
      std::string error;
      if (!link->listen(choice.port, error)) {
        made.refusal = "Puerto TCP " + std::to_string(choice.port) + " no disponible: " + error;
        break;
      }
      made.link = std::move(link);
      break;
    }
    case LinkKind::Folder: {
      const std::filesystem::path folder(std::u8string(choice.folder.begin(), choice.folder.end()));
      if (std::optional<std::string> problem = folderProblem(folder)) {
        made.refusal = *problem;
        break;
      }
      made.link = std::make_unique<FolderLink>(folder);
      break;
    }
  }
  return made;
}

}  // namespace kovrel
