#include "ports/com_registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kovrel {

namespace fs = std::filesystem;

namespace {

std::optional<int> parseNumber(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::string trim(std::string text) {
  auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
  text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
  return text;
}

// First line of a small sysfs or proc file, trimmed; nothing when unreadable.
std::optional<std::string> readLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  return trim(line);
}

// Creates the missing folders of `folder`; the ones created are the user's alone, whatever
// the umask.
void createPrivateFolders(const fs::path& folder) {
  std::error_code ec;
  if (folder.empty() || fs::exists(folder, ec)) return;
  createPrivateFolders(folder.parent_path());
  if (fs::create_directory(folder, ec))
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
}

bool writeAtomically(const fs::path& file, const std::string& content, const std::string& tmpTag,
                     bool shared = false) {
  fs::path tmp = file;
  tmp += "." + tmpTag + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << content;
    if (!out.flush()) return false;
  }
  std::error_code ec;
  // Every operator of the machine writes the machine's numbers (the folder gives them its group).
  const fs::perms group = shared ? fs::perms::group_read | fs::perms::group_write : fs::perms::none;
  fs::permissions(tmp, fs::perms::owner_read | fs::perms::owner_write | group, fs::perm_options::replace, ec);
  fs::rename(tmp, file, ec);
  if (ec) fs::remove(tmp, ec);
  return !ec;
}

std::optional<PortKind> kindFromText(std::string_view text) {
  if (text == "usb") return PortKind::UsbSerial;
  if (text == "uart") return PortKind::Uart;
  if (text == "virtual") return PortKind::Virtual;
  return std::nullopt;
}

// "ttyUSB10" sorts after "ttyUSB9": kernel names compared by prefix, then by number.
bool kernelNameLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    auto digits = s.find_first_of("0123456789");
    if (digits == std::string::npos) return std::pair<std::string, long>(s, -1);
    return std::pair<std::string, long>(s.substr(0, digits), std::strtol(s.c_str() + digits, nullptr, 10));
  };
  return split(a) < split(b);
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The number of a pts device ("/dev/pts/7" → 7), which a pty master's fdinfo reports as its
// tty-index.
std::optional<int> ptsIndex(const fs::path& target) {
  if (target.parent_path().filename() != "pts") return std::nullopt;
  return parseNumber(target.filename().string());
}

using Assignments = std::map<int, std::string>;  // COM number → device identity

Assignments loadAssignments(const fs::path& file) {
  Assignments numbers;
  std::set<std::string> keys;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto space = line.find(' ');
    if (space == std::string::npos) continue;
    auto number = parseNumber(line.substr(0, space));
    std::string key = trim(line.substr(space + 1));
    if (!number || *number < 1 || *number > kMaxComNumber || key.empty()) continue;
    if (numbers.count(*number) || keys.count(key)) continue;  // the first line wins
    numbers[*number] = key;
    keys.insert(key);
  }
  return numbers;
}

std::string assignmentsText(const Assignments& numbers) {
  std::string text = "# COM numbers given to USB serial adapters: number, then the adapter's identity\n";
  for (const auto& [number, key] : numbers) text += std::to_string(number) + " " + key + "\n";
  return text;
}

struct OwnerRecord {
  int pid = 0;
  fs::path target;
  PortKind kind = PortKind::Virtual;
};

std::optional<OwnerRecord> readOwnerRecord(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  OwnerRecord record;
  bool havePid = false, haveTarget = false;
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = line.substr(0, eq), value = line.substr(eq + 1);
    if (name == "pid") {
      auto pid = parseNumber(value);
      if (pid && *pid > 0) record.pid = *pid, havePid = true;
    } else if (name == "target") {
      record.target = value;
      haveTarget = !value.empty();
    } else if (name == "kind") {
      if (auto kind = kindFromText(value)) record.kind = *kind;
    }
  }
  if (!havePid || !haveTarget) return std::nullopt;
  return record;
}

}  // namespace

std::string_view kindText(PortKind kind) {
  switch (kind) {
    case PortKind::UsbSerial:
      return "usb";
    case PortKind::Uart:
      return "uart";
    case PortKind::Virtual:
      return "virtual";
  }
  return "virtual";
}

std::optional<int> parseComName(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  auto digits = name.substr(3);
  if (digits[0] == '0') return std::nullopt;
  auto number = parseNumber(digits);
  if (!number || *number < 1 || *number > kMaxComNumber) return std::nullopt;
  return number;
}

std::string comNameOf(int number) { return "COM" + std::to_string(number); }

ComFolders withMachineNumbers(ComFolders folders, const fs::path& machine,
                              const std::function<bool(const fs::path&)>& takesFiles) {
  if (machine.empty() || !takesFiles(machine)) return folders;
  const fs::path file = machine / kAssignmentsFileName, earlier = folders.state / kAssignmentsFileName;
  std::error_code ec;
  if (!fs::exists(file, ec) && fs::exists(earlier, ec))
    writeAtomically(file, assignmentsText(loadAssignments(earlier)), std::to_string(currentProcessId()),
                    true);
  folders.state = machine;
  folders.sharedState = true;
  return folders;
}

ComRegistry::ComRegistry(ComFolders folders) : folders_(std::move(folders)) {}

fs::path ComRegistry::linkPath(int comNumber) const { return folders_.links / comNameOf(comNumber); }

fs::path ComRegistry::ownerRecordPath(int comNumber) const {
  return folders_.links / (comNameOf(comNumber) + ".owner");
}

// USB identity of a tty: walk up from its sysfs device to the USB device that carries
// idVendor/idProduct, noting the interface on the way (one chip can give several ports with one
// serial number, told apart by interface).
std::optional<std::string> ComRegistry::usbIdentity(const std::string& ttyName) const {
  std::error_code ec;
  fs::path dir = fs::canonical(folders_.sysfs / "class" / "tty" / ttyName / "device", ec);
  if (ec) return std::nullopt;
  std::string interfaceNumber;
  for (int level = 0; level < 8 && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
    if (interfaceNumber.empty())
      if (auto n = readLine(dir / "bInterfaceNumber")) interfaceNumber = *n;
    auto vendor = readLine(dir / "idVendor");
    auto product = readLine(dir / "idProduct");
    if (!vendor || !product) continue;
    std::string serial = readLine(dir / "serial").value_or("");
    // Without a serial number the USB port path (e.g. "1-1.2") stands in: same socket, same COM.
    if (serial.empty()) serial = "@" + dir.filename().string();
    std::replace_if(
        serial.begin(), serial.end(), [](unsigned char c) { return std::iscntrl(c) != 0; }, '_');
    return "usb:" + *vendor + ":" + *product + ":" + serial + ":" + interfaceNumber;
  }
  return std::nullopt;
}

std::vector<ComRegistry::Device> ComRegistry::presentDevices() const {
  std::vector<Device> devices;
  std::error_code ec;
  fs::directory_iterator it(folders_.sysfs / "class" / "tty", ec);
  if (ec) return devices;
  for (const auto& entry : it) {
    std::string name = entry.path().filename().string();
    Device device{name, folders_.dev / name, {}, -1};
    std::error_code existsEc;
    if (!fs::exists(device.node, existsEc)) continue;  // not (yet) a device node
    if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM")) {
      device.key = usbIdentity(name).value_or("tty:" + name);
    } else if (startsWith(name, "ttyS")) {
      auto index = parseNumber(name.substr(4));
      auto type = readLine(entry.path() / "type");
      // Type 0 is a slot the serial driver reserved with no UART behind it.
      if (!index || *index + 1 > kMaxComNumber || !type || *type == "0") continue;
      device.uartIndex = *index;
    } else {
      continue;
    }
    devices.push_back(std::move(device));
  }
  std::sort(devices.begin(), devices.end(),
            [](const Device& a, const Device& b) { return kernelNameLess(a.name, b.name); });
  return devices;
}

bool ComRegistry::ownerHolds(int pid, const fs::path& target) const {
  const fs::path process = folders_.proc / std::to_string(pid);
  std::error_code ec;
  fs::directory_iterator it(process / "fd", ec);
  if (ec) return false;  // no such process (or not ours to look at)
  const auto index = ptsIndex(target);
  for (const auto& entry : it) {
    std::error_code linkEc;
    fs::path held = fs::read_symlink(entry.path(), linkEc);
    if (linkEc) continue;
    if (held == target) return true;  // the owner holds the device itself
    // A pty master shows as the multiplexer; its fdinfo names the pty it leads to.
    if (index && held.filename() == "ptmx") {
      std::ifstream info(process / "fdinfo" / entry.path().filename());
      std::string line;
      while (std::getline(info, line)) {
        if (!startsWith(line, "tty-index:")) continue;
        if (parseNumber(trim(line.substr(10))) == index) return true;
      }
    }
  }
  return false;
}

std::optional<Publication> ComRegistry::publication(int comNumber) const {
  std::error_code ec;
  const fs::path link = linkPath(comNumber);
  if (!fs::is_symlink(link, ec)) return std::nullopt;
  fs::path target = fs::read_symlink(link, ec);
  if (ec) return std::nullopt;
  if (target.is_relative()) target = folders_.links / target;
  auto record = readOwnerRecord(ownerRecordPath(comNumber));
  if (!record || record->target.lexically_normal() != target.lexically_normal()) return std::nullopt;
  if (!fs::exists(target, ec) || !ownerHolds(record->pid, record->target)) return std::nullopt;
  return Publication{record->pid, record->target, record->kind};
}

std::vector<std::pair<int, Publication>> ComRegistry::livePublications() const {
  std::vector<std::pair<int, Publication>> live;
  std::error_code ec;
  fs::directory_iterator it(folders_.links, ec);
  if (ec) return live;
  for (const auto& entry : it) {
    auto number = parseComName(entry.path().filename().string());
    if (!number || comNameOf(*number) != entry.path().filename().string()) continue;
    if (auto pub = publication(*number)) live.emplace_back(*number, *pub);
  }
  return live;
}

std::vector<ComPort> ComRegistry::ports() {
  const auto devices = presentDevices();
  const auto published = livePublications();
  const fs::path assignmentsFile = folders_.state / kAssignmentsFileName;
  Assignments assigned = loadAssignments(assignmentsFile);

  std::map<std::string, int> numberOf;
  std::set<int> taken;
  for (const auto& [number, key] : assigned) numberOf[key] = number, taken.insert(number);
  for (const auto& d : devices)
    if (d.uartIndex >= 0) taken.insert(d.uartIndex + 1);
  for (const auto& [number, pub] : published) taken.insert(number);

  std::map<int, ComPort> byNumber;
  std::set<std::string> seen;
  bool changed = false;
  for (const auto& d : devices) {
    if (d.uartIndex >= 0) {
      byNumber[d.uartIndex + 1] = ComPort{d.uartIndex + 1, PortKind::Uart, d.node, false};
      continue;
    }
    // Two adapters claiming one identity (clones sharing a serial number): the second is told
    // apart by its kernel name.
    std::string key = seen.count(d.key) ? d.key + "/" + d.name : d.key;
    seen.insert(key);
    int number = 0;
    if (auto found = numberOf.find(key); found != numberOf.end()) {
      number = found->second;
    } else {
      for (int n = 1; n <= kMaxComNumber && number == 0; ++n)
        if (!taken.count(n)) number = n;
      if (number == 0) continue;  // every number in use
      taken.insert(number);
      numberOf[key] = number;
      assigned[number] = key;
      changed = true;
    }
    if (!byNumber.count(number)) byNumber[number] = ComPort{number, PortKind::UsbSerial, d.node, false};
  }
  if (changed) {
    // A number that cannot be saved still holds for this run; the next run assigns again.
    std::error_code ec;
    createPrivateFolders(folders_.state);
    writeAtomically(assignmentsFile, assignmentsText(assigned), std::to_string(currentProcessId()),
                    folders_.sharedState);
  }
  for (const auto& [number, pub] : published) byNumber[number] = ComPort{number, pub.kind, pub.target, true};

  std::vector<ComPort> result;
  for (auto& [number, port] : byNumber) result.push_back(std::move(port));
  return result;
}

std::vector<SerialCommEntry> ComRegistry::serialCommEntries() {
  std::vector<SerialCommEntry> entries;
  int usb = 0, virtualPorts = 0;
  for (const auto& port : ports()) {
    std::string name = "\\Device\\";
    switch (port.kind) {
      case PortKind::UsbSerial:
        name += "VCP" + std::to_string(usb++);
        break;
      case PortKind::Uart:
        name += "Serial" + std::to_string(port.number - 1);
        break;
      case PortKind::Virtual:
        name += "KovrelPort" + std::to_string(virtualPorts++);
        break;
    }
    entries.push_back({name, comNameOf(port.number)});
  }
  return entries;
}

std::map<int, std::string> ComRegistry::adapterNumbers() const {
  return loadAssignments(folders_.state / kAssignmentsFileName);
}

void ComRegistry::renumber(int from, int to) {
  if (to < 1 || to > kMaxComNumber) throw ComRegistryError("no such COM number: " + std::to_string(to));
  // The look at the ports comes first: it may give a newly plugged adapter its number.
  const auto present = ports();
  Assignments assigned = adapterNumbers();
  const auto moving = assigned.find(from);
  if (moving == assigned.end())
    throw ComRegistryError(comNameOf(from) + " is not the saved number of a USB serial adapter");
  if (to == from) return;
  bool taken = assigned.count(to) != 0;
  for (const auto& port : present) taken = taken || port.number == to;
  if (taken) throw ComRegistryError(comNameOf(to) + " is taken");
  assigned[to] = moving->second;
  assigned.erase(from);
  std::error_code ec;
  fs::create_directories(folders_.state, ec);
  if (!writeAtomically(folders_.state / kAssignmentsFileName, assignmentsText(assigned),
                       std::to_string(currentProcessId()), folders_.sharedState))
    throw ComRegistryError("cannot write " + (folders_.state / kAssignmentsFileName).string());
}

std::optional<fs::path> ComRegistry::resolve(int comNumber) {
  if (auto pub = publication(comNumber)) return pub->target;
  for (const auto& port : ports())
    if (port.number == comNumber) return port.device;
  return std::nullopt;
}

void ComRegistry::ensureLinkFolder() const {
  std::error_code ec;
  if (fs::is_symlink(folders_.links, ec) ||
      (fs::exists(folders_.links, ec) && !ownedByThisUser(folders_.links)))
    throw UnsafeLinkFolder(folders_.links);
  createPrivateFolders(folders_.links);
  if (ec || !fs::is_directory(folders_.links, ec))
    throw ComRegistryError("cannot create the link folder " + folders_.links.string());
  // Only this user may place names here: a name is a promise about which device it leads to.
  fs::permissions(folders_.links, fs::perms::owner_all, fs::perm_options::replace, ec);
}

void ComRegistry::publish(int comNumber, const fs::path& target, int ownerPid, PortKind kind) {
  if (comNumber < 1 || comNumber > kMaxComNumber)
    throw ComRegistryError("no such COM number: " + std::to_string(comNumber));
  ensureLinkFolder();
  if (auto live = publication(comNumber); live && live->ownerPid != ownerPid)
    throw ComRegistryError(comNameOf(comNumber) + " is published by process " +
                           std::to_string(live->ownerPid));

  const std::string tag = std::to_string(ownerPid);
  std::ostringstream record;
  record << "pid=" << ownerPid << "\ntarget=" << target.string() << "\nkind=" << kindText(kind) << "\n";
  if (!writeAtomically(ownerRecordPath(comNumber), record.str(), tag))
    throw ComRegistryError("cannot write the owner record of " + comNameOf(comNumber));

  fs::path tmp = linkPath(comNumber);
  tmp += "." + tag + ".tmp";
  std::error_code ec;
  fs::remove(tmp, ec);
  fs::create_symlink(target, tmp, ec);
  if (!ec) fs::rename(tmp, linkPath(comNumber), ec);
  if (ec) {
    fs::remove(tmp, ec);
    fs::remove(ownerRecordPath(comNumber), ec);
    throw ComRegistryError("cannot publish " + comNameOf(comNumber));
  }
}

bool ComRegistry::unpublish(int comNumber, int ownerPid) {
  std::error_code ec;
  const fs::path link = linkPath(comNumber), recordFile = ownerRecordPath(comNumber);
  auto record = readOwnerRecord(recordFile);
  const bool ours = record && record->pid == ownerPid;
  if (!ours && publication(comNumber)) return false;  // another program's live name
  bool removed = false;
  if (fs::is_symlink(link, ec)) removed |= fs::remove(link, ec);
  if (fs::exists(recordFile, ec)) removed |= fs::remove(recordFile, ec);
  return removed;
}

}  // namespace kovrel
