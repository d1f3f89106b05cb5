#pragma once
// The null-modem port pair that carries the host's port on Windows, as the pair driver's control
// program (com0com's setupc.exe) makes, lists and removes it. A pair has two linked ends,
// CNCA<n> and CNCB<n>: the host opens end A under its COM name, this program holds end B under
// the driver's own name for it, which no host looks for.
//
// Creating a pair, or moving its host end to another COM name, changes a device: the control
// program needs administrator rights for it. This program never runs with them: the system asks
// the operator's consent for that one run of the control program, and the change is told when
// it ends, while the window goes on. Listing needs no rights and is quick.

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kovrel {

struct PortPair {
  int number = -1;      // the pair's index: its ends are CNCA<number> and CNCB<number>
  std::string hostEnd;  // the name the host opens ("COM5")
  std::string ownEnd;   // the name this program opens its end by ("CNCB0")
  bool operator==(const PortPair&) const = default;
};

// A failed control operation; the message is the operator's text.
class PairControlError : public std::runtime_error {
 public:
  explicit PairControlError(const std::string& what, bool administrator = false)
      : std::runtime_error(what), administrator_(administrator) {}
  // The remedy is an administrator's: the driver is missing, or the consent was refused.
  bool administrator() const { return administrator_; }

 private:
  bool administrator_;
};

class PairControl {
 public:
  // How a change ended: nothing, or why it failed.
  using Done = std::function<void(const std::optional<PairControlError>& failure)>;

  virtual ~PairControl() = default;
  // The pairs the driver has now.
  virtual std::vector<PortPair> pairs() = 0;
  // True when some device (a pair's end, a cable port) already goes by `name`.
  virtual bool nameInUse(const std::string& name) = 0;
  // Starts making a pair whose host end is `hostName`, or moving `pair`'s host end to it: one
  // change at a time, with the operator's consent. `done` is called from `poll`.
  virtual void create(const std::string& hostName, Done done) = 0;
  virtual void rename(const PortPair& pair, const std::string& hostName, Done done) = 0;
  // Looks whether the change under way has ended, and tells it; the event loop asks at each tick.
  virtual void poll() = 0;
  virtual bool changing() const = 0;
};

// One run of the control program to its end.
struct ProgramRun {
  bool started = false;     // false: the program could not be started at all
  bool needsAdmin = false;  // administrator rights were needed and not given (consent refused)
  bool timedOut = false;    // still running after the runner's wait; it was ended
  int exitCode = 0;
  std::string output;  // its standard output and error, as written (none for a consented run)
};
using Args = std::vector<std::string>;
// Runs the control program with these arguments (each one argument, quoted as needed).
using RunProgram = std::function<ProgramRun(const Args& args)>;
// Starts the control program with administrator rights for this run only; the function returned
// answers nothing while it runs, then how it ended.
using RunCheck = std::function<std::optional<ProgramRun>()>;
using StartElevated = std::function<RunCheck(const Args& args)>;

// The pairs as the control program reports them. `found` is false when the program is nowhere
// to be found, so every operation says what to install.
class CommandPairControl : public PairControl {
 public:
  CommandPairControl(bool found, RunProgram run, StartElevated elevated)
      : found_(found), run_(std::move(run)), elevated_(std::move(elevated)) {}

  std::vector<PortPair> pairs() override;
  bool nameInUse(const std::string& name) override;
  void create(const std::string& hostName, Done done) override;
  void rename(const PortPair& pair, const std::string& hostName, Done done) override;
  void poll() override;
  bool changing() const override { return static_cast<bool>(check_); }

 private:
  std::string runOrThrow(const Args& args);
  void change(const Args& args, Done done);

  bool found_;
  RunProgram run_;
  StartElevated elevated_;
  RunCheck check_;  // the change under way
  Done done_;
};

// The pairs in the control program's `list` output: one line per end, its identifier and its
// parameters ("CNCA0 PortName=COM5,EmuBR=yes"). An end without a PortName, or with "-", goes by
// its identifier; "COM#" (the system chose the number) goes by its RealPortName. Only whole
// pairs are returned, by index.
std::vector<PortPair> parsePairListing(std::string_view listing);

// The only names this program hands to the control program: "COM" and a number from 1 to 255.
// Anything else could smuggle a parameter into its command line.
bool isHostComName(std::string_view name);
// Device names compare without case, as Windows compares them ("com5" is COM5).
bool sameDeviceName(std::string_view a, std::string_view b);

}  // namespace kovrel
