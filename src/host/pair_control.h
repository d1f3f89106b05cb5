#pragma once
// The null-modem port pair that carries the host's port on Windows, as the pair driver's control
// program (com0com's setupc.exe) makes, lists and removes it. A pair has two linked ends,
// CNCA<n> and CNCB<n>: the host opens end A under its COM name, this program holds end B under
// the driver's own name for it, which no host looks for.
//
// Creating and removing a pair installs and removes a device: the control program needs
// administrator rights for it. Listing does not.

#include <functional>
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
  using std::runtime_error::runtime_error;
};

class PairControl {
 public:
  virtual ~PairControl() = default;
  // The pairs the driver has now.
  virtual std::vector<PortPair> pairs() = 0;
  // True when some device (a pair's end, a cable port) already goes by `name`.
  virtual bool nameInUse(const std::string& name) = 0;
  // Makes a pair whose host end is `hostName` and returns it.
  virtual PortPair create(const std::string& hostName) = 0;
  virtual void remove(const PortPair& pair) = 0;
};

// One run of the control program to its end.
struct ProgramRun {
  bool started = false;     // false: the program could not be started at all
  bool needsAdmin = false;  // the system refused to start it without administrator rights
  bool timedOut = false;    // still running after the runner's wait; it was ended
  int exitCode = 0;
  std::string output;  // its standard output and error, as written
};
// Runs the control program with these arguments (each one argument, quoted as needed).
using RunProgram = std::function<ProgramRun(const std::vector<std::string>& args)>;

// The pairs as the control program reports them. `found` is false when the program is nowhere
// to be found, so every operation says what to install.
class CommandPairControl : public PairControl {
 public:
  CommandPairControl(bool found, RunProgram run) : found_(found), run_(std::move(run)) {}

  std::vector<PortPair> pairs() override;
  bool nameInUse(const std::string& name) override;
  PortPair create(const std::string& hostName) override;
  void remove(const PortPair& pair) override;

 private:
  std::string runOrThrow(const std::vector<std::string>& args);

  bool found_;
  RunProgram run_;
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
