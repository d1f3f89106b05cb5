#include "cli_run.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "base/system_clock.h"
#include "cli_args.h"
#include "cli_outputs.h"
#include "cli_ports.h"
#include "common/oma_file.h"
#include "headless_program.h"
#include "settings/default_settings.h"
#include "settings/file_sync.h"
#include "settings/settings_file.h"

namespace kovrel::cli {
namespace {

bool readStream(const std::string& path, std::istream& in, std::vector<std::uint8_t>& bytes) {
  if (path == "-") {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

// What an installation puts next to the program: the default settings file, never over one the
// lab already has (its calibration would be lost).
int installSettingsFile(const std::filesystem::path& folder, std::ostream& out, std::ostream& err) {
  const std::filesystem::path target = folder / kSettingsFileName;
  std::error_code ec;
  if (std::filesystem::exists(target, ec)) {
    out << target.string() << " is already there: left as it is\n";
    return kExitDone;
  }
  const WriteOutcome written = replaceFileAtomically(target, SettingsFile::defaultFileContent(folder));
  if (!written.ok()) {
    err << "kovrel-cli: cannot write " << target.string() << ": " << written.detail << "\n";
    return kExitUsage;
  }
  out << target.string() << " written\n";
  return kExitDone;
}

void write(std::ostream& out, const oma::Bytes& bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// How long send --tcp and --listen wait for the host's connection.
constexpr int kHostWaitMs = 30'000;

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
        const RealLinks* links) {
  std::string error;
  const auto parsed = parseCliArgs(args, error);
  if (!parsed) {
    err << "kovrel-cli: " << error << "\n" << cliUsage();
    return kExitUsage;
  }
  const CliArgs& a = *parsed;
  if (a.help) {
    out << cliUsage() << portsUsage();
    return kExitDone;
  }

  if (a.command == Command::SettingsFile) return installSettingsFile(a.stream, out, err);

  std::vector<std::uint8_t> stream;
  if (!readStream(a.stream, in, stream)) {
    err << "kovrel-cli: cannot read " << a.stream << "\n";
    return kExitUsage;
  }

  // send: the host's real link first, and the host on it, before the program reads.
  std::unique_ptr<HostLink> link;
  SystemClock wallClock;
  if (a.command == Command::Send) {
    if (links == nullptr) {
      err << "kovrel-cli: this build has no links to a host\n";
      return kExitUsage;
    }
    MadeLink made = links->make(*a.link);
    if (!made.link) {
      err << made.refusal << "\n";
      return kExitStopped;
    }
    link = std::move(made.link);
    if (a.link->kind != LinkKind::Folder) links->runUntil([&] { return link->present(); }, kHostWaitMs);
  }
  HeadlessProgram program(
      a.filterscope, a.generalMm.value_or(DefaultCalibration::OffsetMida),
      link ? HeadlessProgram::RealLink{link.get(), &wallClock,
                                       [links] { links->runUntil([] { return false; }, 50); }}
           : HeadlessProgram::RealLink{});
  if (!program.read(stream)) {
    // The operator's message first, as the information box showed it; then what the file held.
    err << program.message() << "\n";
    err << "kovrel-cli: the read of " << a.stream << " (" << stream.size() << " bytes) did not complete\n";
    return kExitStopped;
  }

  if (a.command == Command::Trace) {
    out << traceText(program.state().forma_treball);
    return kExitDone;
  }

  if (a.mirror) program.mirror();
  program.turn(a.turnSteps);

  oma::Bytes answer;
  if (!program.send(a.lens, a.lensGiven, a.manualMm, answer)) {
    err << program.message() << "\n";
    err << "kovrel-cli: the send did not complete\n";
    return kExitStopped;
  }
  if (a.command == Command::Send) {
    err << program.message() << "\n";
    return kExitDone;
  }
  if (a.command == Command::Answer) {
    write(out, answer);
    return kExitDone;
  }

  std::vector<int> radii;
  if (!oma::decodeAnswerRadii(answer, radii, &error)) {
    err << "kovrel-cli: the answer does not decode: " << error << "\n";
    return kExitStopped;
  }
  out << (a.command == Command::Oma ? writeOmaTrace(radii) : outlineSvg(radii));
  return kExitDone;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err,
           const RealLinks* links) {
  try {
    if (!args.empty() && args[0] == "ports") return runSystemPorts({args.begin() + 1, args.end()}, out, err);
    return run(args, in, out, err, links);
  } catch (const std::exception& e) {
    // The window would have caught this in its event loop; here it ends the run.
    err << "kovrel-cli: " << e.what() << "\n";
    return kExitStopped;
  }
}

}  // namespace kovrel::cli
