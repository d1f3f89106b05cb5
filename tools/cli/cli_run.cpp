#include "cli_run.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "archive/archive_store.h"
#include "archive/trace_file.h"
#include "base/system_clock.h"
#include "cli_args.h"
#include "cli_outputs.h"
#include "cli_ports.h"
#include "files/atomic_write.h"
#include "headless_program.h"
#include "settings/default_settings.h"
#include "settings/settings_file.h"

namespace kovrel::cli {
namespace {

// At most `limit` bytes (a device or an endless pipe named as the file ends there).
bool readStream(const std::string& path, std::istream& in, std::vector<std::uint8_t>& bytes,
                std::size_t limit = std::size_t(-1)) {
  std::ifstream file;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file) return false;
  }
  std::istream& source = path == "-" ? in : file;
  bytes.clear();
  for (std::istreambuf_iterator<char> it(source), end; it != end && bytes.size() < limit; ++it)
    bytes.push_back(static_cast<std::uint8_t>(*it));
  return !source.bad();
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

// The four sizes of a trace file, as the line under the plot gives them.
int measure(const std::string& path, std::istream& in, std::ostream& out, std::ostream& err) {
  std::vector<std::uint8_t> bytes;
  if (!readStream(path, in, bytes, kMaxTraceFileBytes + 1)) {
    err << "kovrel-cli: cannot read " << path << "\n";
    return kExitUsage;
  }
  const TraceFileContent content =
      parseTraceFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!content.usable) {
    err << "kovrel-cli: " << path << " " << content.reason << "\n";
    return kExitUsage;
  }
  const std::vector<int>& radii = content.trace.radii;
  out << sizesText(measureShape(std::vector<double>(radii.begin(), radii.end())), '.') << "\n";
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
  if (a.command == Command::Measure) return measure(a.stream, in, out, err);

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

  if (a.command == Command::Archive) {
    const WallTime time = a.time.empty() ? systemWallTime() : *parseWallTime(a.time);
    KeptRead kept = keptReadOf(program.state(), a.manualMm.value_or(0.0), a.filterscope, time);
    kept.sends.push_back({time, program.message()});
    out << writeKeptRead(kept);
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
