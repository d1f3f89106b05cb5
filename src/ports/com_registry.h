#pragma once
// COM names on a system that has none of its own. The program's world is COM numbers (the
// settings hold "3" for COM3, the port search reads the system's list of serial ports as
// (value name, "COMn") pairs); this layer gives every serial device a COM number and keeps it:
//
//  - a USB serial adapter (ttyUSB*, ttyACM*) is known by vendor:product:serial and interface,
//    read from sysfs. The first time it is seen it takes the lowest free number; the number is
//    saved in a small text file in the state folder, so the same adapter is the same COMn after a
//    restart or a replug. An adapter without a serial number is known by its USB port path
//    instead (same socket, same number);
//  - a real UART ttyS<k> is COM<k+1>; the kernel's phantom ttyS entries (sysfs `type` 0) are
//    not ports and are skipped;
//  - a program may publish a pseudo-terminal under a COM name: a "COMn" symlink in the per-user
//    link folder, with an owner record beside it ("COMn.owner": pid, target, kind). A published
//    name wins over a device with the same number. A link whose owner is gone, or no longer
//    holds the pty it names, is stale: pty numbers are reused by unrelated terminals, so a stale
//    link is never followed and counts as absent.
//
// The listing imitates the system key that Windows programs read: value names "\Device\VCP<k>"
// for USB adapters (and ptys published as such: the tracer simulator), "\Device\Serial<k>" for
// UARTs and "\Device\KovrelPort<k>" for published virtual ports; the data is "COMn". The port
// search tells them apart by the three characters after "\Device\".

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kovrel {

// The folders this layer reads and writes. Tests point them at temporary trees.
struct ComFolders {
  std::filesystem::path sysfs = "/sys";  // class/tty/<name>/device, type
  std::filesystem::path dev = "/dev";    // device nodes: ttyUSB0, ttyS0, pts/<n>
  std::filesystem::path proc = "/proc";  // <pid>/fd and <pid>/fdinfo, for owner checks
  std::filesystem::path state;           // holds the file of assigned numbers
  std::filesystem::path links;           // published COMn links, mode 0700
  bool sharedState = false;              // `state` is every operator's: its files group-writable
};

enum class PortKind { UsbSerial, Uart, Virtual };

struct ComPort {
  int number = 0;  // n of COMn
  PortKind kind = PortKind::Uart;
  std::filesystem::path device;  // the path to open
  bool published = false;        // a name published in the link folder
};

// One value of the serial-port key: ("\Device\VCP0", "COM3").
struct SerialCommEntry {
  std::string valueName;
  std::string data;
  friend bool operator==(const SerialCommEntry&, const SerialCommEntry&) = default;
};

// A live publication of a COM name.
struct Publication {
  int ownerPid = 0;
  std::filesystem::path target;  // the pty the link names
  PortKind kind = PortKind::Virtual;
};

// The folders on this platform: the state folder (the machine's /var/lib/kovrel when writable,
// see withMachineNumbers; else $XDG_STATE_HOME/kovrel or ~/.local/state/kovrel) and this
// user's link folder ($XDG_RUNTIME_DIR/kovrel, else <user's state folder>/ports).
// The kind as the owner records and `kovrel-cli ports` write it: "usb", "uart", "virtual".
std::string_view kindText(PortKind kind);

ComFolders systemComFolders();
// The same from an explicit environment (tests). Relative paths in the variables are ignored,
// as the XDG rules ask.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
ComFolders comFoldersFromEnvironment(const EnvLookup& env);
// The numbers of USB adapters are the machine's, as the tracer plugged into it is: they live in
// `machine` (/var/lib/kovrel, which the Debian package makes for the group dialout) when this
// process may write there, so every operator and `sudo kovrel-cli ports renumber` see the same
// COM numbers; else in the user's own state folder (`folders.state`). The machine's file is
// first made from the user's earlier numbers, so the tracer keeps the COM number its settings name.
ComFolders withMachineNumbers(ComFolders folders, const std::filesystem::path& machine,
                              const std::function<bool(const std::filesystem::path&)>& takesFiles);
// The id of this process, for owner records.
int currentProcessId();
// True when `folder` belongs to the user this process runs as.
bool ownedByThisUser(const std::filesystem::path& folder);

class ComRegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The link folder is a symbolic link or another user's: names placed there could lead anyone's
// host to any device, so the program does not use it (nor touch what it points to).
class UnsafeLinkFolder : public ComRegistryError {
 public:
  explicit UnsafeLinkFolder(std::filesystem::path f)
      : ComRegistryError("unsafe link folder " + f.string()), folder(std::move(f)) {}
  std::filesystem::path folder;
};

// 5 for "COM5" (also "com5"); nothing for anything else or for numbers outside 1..255.
std::optional<int> parseComName(std::string_view name);
// "COM5" for 5.
std::string comNameOf(int number);

inline constexpr int kMaxComNumber = 255;
inline constexpr std::string_view kAssignmentsFileName = "com-numbers.txt";

class ComRegistry {
 public:
  explicit ComRegistry(ComFolders folders);

  const ComFolders& folders() const { return folders_; }

  // Every COM port present now, by number, each number once (a published name hides a device
  // with the same number). USB adapters seen for the first time get their number here, and the
  // numbers are saved.
  std::vector<ComPort> ports();
  // The same ports as the system's serial-port key would list them.
  std::vector<SerialCommEntry> serialCommEntries();
  // The path to open for COMn: the published link when live, else the device with that number.
  std::optional<std::filesystem::path> resolve(int comNumber);

  // Publishes `target` as COMn for process `ownerPid`: the owner record first, then the link,
  // created under a temporary name and renamed over (a reader never sees half a link). A stale
  // link under that name is replaced; a live one of another process is refused
  // (ComRegistryError), as is a failure to write the folder.
  void publish(int comNumber, const std::filesystem::path& target, int ownerPid, PortKind kind);
  // Removes COMn when `ownerPid` published it (or when the link is stale). Returns true when
  // something was removed.
  bool unpublish(int comNumber, int ownerPid);
  // The live publication of COMn, or nothing when absent or stale.
  std::optional<Publication> publication(int comNumber) const;

  // The saved numbers of USB adapters: COM number → the adapter's identity
  // ("usb:vendor:product:serial:interface").
  std::map<int, std::string> adapterNumbers() const;
  // Moves the USB adapter saved as COM`from` to COM`to`; the program sees it there from its next
  // look at the ports. Refused (ComRegistryError) when COM`from` is no adapter's saved number, or
  // when COM`to` is taken: a port present now, a published name, or another adapter's number.
  void renumber(int from, int to);

  std::filesystem::path linkPath(int comNumber) const;
  std::filesystem::path ownerRecordPath(int comNumber) const;

 private:
  struct Device {
    std::string name;  // ttyUSB0
    std::filesystem::path node;
    std::string key;  // usb identity; empty for a UART
    int uartIndex = -1;
  };
  std::vector<Device> presentDevices() const;
  std::optional<std::string> usbIdentity(const std::string& ttyName) const;
  bool ownerHolds(int pid, const std::filesystem::path& target) const;
  std::vector<std::pair<int, Publication>> livePublications() const;
  void ensureLinkFolder() const;

  ComFolders folders_;
};

}  // namespace kovrel
