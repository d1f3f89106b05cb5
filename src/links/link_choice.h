#pragma once
// Which link to the lab's host the technician chose, kept in kovrel_enlace.cfg beside
// trac_conf.cfg (so older copies of the program, which read only trac_conf.cfg, are not
// disturbed). A missing file means the virtual serial port, as before the file existed; a file
// that is not this program's is kept under a dated name and the defaults take its place.
//
// The file is UTF-8 text, one "KEY=value" per line:
//   ENLACE=serie | tcp | escucha | carpeta
//   DIRECCION=192.168.1.20      (tcp: the host's address)
//   PUERTO=5000                 (tcp, escucha)
//   PERMITIDOS=192.168.1.20     (escucha: addresses beside this machine's, separated by ';')
//   CARPETA=/srv/trazas         (carpeta)

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel {

inline constexpr const char* kLinkFileName = "kovrel_enlace.cfg";

enum class LinkKind { Serial, TcpConnect, TcpListen, Folder };

struct LinkChoice {
  LinkKind kind = LinkKind::Serial;
  std::string address;               // TcpConnect
  int port = 0;                      // TcpConnect, TcpListen: 1..65535
  std::vector<std::string> allowed;  // TcpListen: peers beside 127.0.0.1 and ::1
  std::string folder;                // Folder, UTF-8

  bool operator==(const LinkChoice&) const = default;
};

// Bounds on what the file may hold: anything longer is not this program's file.
inline constexpr std::size_t kLinkFileMaxBytes = 16 * 1024;
inline constexpr std::size_t kMaxAllowedPeers = 16;

std::string linkFileText(const LinkChoice& choice);
// nullopt when the text is not a link file or a value is out of range.
std::optional<LinkChoice> parseLinkFile(std::string_view text);
// Why the choice cannot be used as it is (Spanish, for the ports window); nullopt when it can.
// Only the form is checked here; whether the port is free or the folder writable is the set-up's.
std::optional<std::string> choiceProblem(const LinkChoice& choice);

// "192.168.1.20:5000", "[::1]:5000".
std::string addressAndPort(const std::string& address, int port);

struct LinkLoad {
  LinkChoice choice;
  std::string setAside;  // the dated name a foreign file was kept under, when one was
};

// Reads `folder`/kovrel_enlace.cfg; defaults when absent or unusable (then kept aside).
LinkLoad loadLinkChoice(const std::filesystem::path& folder);
// Atomic save; an empty text when saved, else why not (the system's words).
std::string saveLinkChoice(const std::filesystem::path& folder, const LinkChoice& choice);

}  // namespace kovrel
