#include "links/link_choice.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "files/atomic_write.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

constexpr std::array<std::pair<LinkKind, std::string_view>, 4> kKindNames{{{LinkKind::Serial, "serie"},
                                                                           {LinkKind::TcpConnect, "tcp"},
                                                                           {LinkKind::TcpListen, "escucha"},
                                                                           {LinkKind::Folder, "carpeta"}}};

// Host names and numeric addresses: letters, digits, '.', '-', ':' (IPv6), '%' (IPv6 scope).
bool addressForm(std::string_view a) {
  if (a.empty() || a.size() > 253) return false;
  return std::all_of(a.begin(), a.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '%';
  });
}

std::optional<int> portNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 5) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535)
    return std::nullopt;
  return value;
}

std::vector<std::string> splitList(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    const std::size_t cut = text.find(';');
    if (std::string_view item = text.substr(0, cut); !item.empty()) out.emplace_back(item);
    if (cut == std::string_view::npos) break;
    text.remove_prefix(cut + 1);
  }
  return out;
}

}  // namespace

std::string addressAndPort(const std::string& address, int port) {
  const bool v6 = address.find(':') != std::string::npos;
  return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::string linkFileText(const LinkChoice& c) {
  std::string kind;
  for (const auto& [k, name] : kKindNames)
    if (k == c.kind) kind = name;
  std::string text = "ENLACE=" + kind + "\r\n";
  if (c.kind == LinkKind::TcpConnect) text += "DIRECCION=" + c.address + "\r\n";
  if (c.kind == LinkKind::TcpConnect || c.kind == LinkKind::TcpListen)
    text += "PUERTO=" + std::to_string(c.port) + "\r\n";
  if (c.kind == LinkKind::TcpListen && !c.allowed.empty()) {
    text += "PERMITIDOS=";
    for (std::size_t i = 0; i < c.allowed.size(); ++i) text += (i ? ";" : "") + c.allowed[i];
    text += "\r\n";
  }
  if (c.kind == LinkKind::Folder) text += "CARPETA=" + c.folder + "\r\n";
  return text;
}

std::optional<LinkChoice> parseLinkFile(std::string_view text) {
  if (text.size() > kLinkFileMaxBytes) return std::nullopt;
  LinkChoice c;
  bool kindSeen = false;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "ENLACE") {
      const auto* found = std::find_if(kKindNames.begin(), kKindNames.end(),
                                       [&](const auto& k) { return k.second == value; });
      if (found == kKindNames.end()) return std::nullopt;
      c.kind = found->first, kindSeen = true;
    } else if (key == "DIRECCION") {
      c.address = value;
    } else if (key == "PUERTO") {
      const std::optional<int> port = portNumber(value);
      if (!port) return std::nullopt;
      c.port = *port;
    } else if (key == "PERMITIDOS") {
      c.allowed = splitList(value);
    } else if (key == "CARPETA") {
      c.folder = value;
    }
    // Other keys are a newer program's: ignored, as trac_conf.cfg's readers ignore unknown lines.
  }
  if (!kindSeen || choiceProblem(c)) return std::nullopt;
  return c;
}

std::optional<std::string> choiceProblem(const LinkChoice& c) {
  switch (c.kind) {
    case LinkKind::Serial:
      return std::nullopt;
    case LinkKind::TcpConnect:
      if (!addressForm(c.address)) return "Dirección no válida: '" + c.address + "'";
      [[fallthrough]];
    case LinkKind::TcpListen:
      if (c.port < 1 || c.port > 65535) return "Puerto TCP no válido (1 a 65535): " + std::to_string(c.port);
      if (c.allowed.size() > kMaxAllowedPeers) return "Demasiadas direcciones permitidas (máximo 16)";
      for (const std::string& a : c.allowed)
        if (!addressForm(a)) return "Dirección permitida no válida: '" + a + "'";
      return std::nullopt;
    case LinkKind::Folder:
      if (c.folder.empty()) return std::string("Falta la carpeta");
      return std::nullopt;
  }
  return std::nullopt;
}

LinkLoad loadLinkChoice(const std::filesystem::path& folder) {
  LinkLoad load;
  const std::filesystem::path file = folder / kLinkFileName;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return load;
  std::string text;
  {
    std::ifstream in(file, std::ios::binary);
    std::array<char, 4096> chunk{};
    while (in && text.size() <= kLinkFileMaxBytes) {
      in.read(chunk.data(), chunk.size());
      text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    }
  }
  if (std::optional<LinkChoice> choice = parseLinkFile(text)) {
    load.choice = *choice;
    return load;
  }
  // Not this program's file, or damaged: kept for the technician under a dated name.
  std::filesystem::path aside = file;
  aside += setAsideStamp(std::chrono::system_clock::now());
  std::filesystem::rename(file, aside, error);
  if (!error) load.setAside = aside.filename().string();
  return load;
}

std::string saveLinkChoice(const std::filesystem::path& folder, const LinkChoice& choice) {
  const WriteOutcome outcome = replaceFileAtomically(folder / kLinkFileName, linkFileText(choice));
  if (outcome.ok()) return {};
  return outcome.detail.empty() ? "no se pudo escribir " + std::string(kLinkFileName) : outcome.detail;
}

}  // namespace kovrel
