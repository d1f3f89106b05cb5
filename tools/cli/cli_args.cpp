#include "cli_args.h"

#include <cmath>

#include "archive/kept_read.h"
#include "common/command_line.h"
#include "geometry/prepare_steps.h"

namespace kovrel::cli {
namespace {

using toolkit::toDouble;
using toolkit::toInt;

// One full turn of single 1/6 degree steps; more would only turn the shape round again (and a
// count in the millions keeps the command busy for days).
constexpr int kMaxTurnSteps = 2160;

std::optional<Command> commandFromName(const std::string& name) {
  if (name == "trace") return Command::Trace;
  if (name == "answer") return Command::Answer;
  if (name == "oma") return Command::Oma;
  if (name == "svg") return Command::Svg;
  if (name == "archive") return Command::Archive;
  if (name == "measure") return Command::Measure;
  if (name == "settings-file") return Command::SettingsFile;
  if (name == "send") return Command::Send;
  return std::nullopt;
}

}  // namespace

std::string cliUsage() {
  return R"(kovrel-cli: runs the program's own capture, shape editing and send on a recorded read.

Usage:
  kovrel-cli trace  STREAM [--filter N]
  kovrel-cli answer STREAM [options]  > answer.bin
  kovrel-cli oma    STREAM [options]  > trace.oma
  kovrel-cli svg    STREAM [options]  > shape.svg
  kovrel-cli archive STREAM [options] [--time YYYY-MM-DDTHH:MM:SS]  > 20261207-143012-J0042.vca
  kovrel-cli measure FILE
  kovrel-cli settings-file FOLDER
  kovrel-cli send   STREAM [options] --tcp ADDRESS:PORT | --listen PORT | --folder DIR

STREAM is a raw read of the tracer (8262 bytes: header, temperature, 4096 samples, two job
counter words), as kovrel-tracer-sim --record or generate writes it; "-" reads standard input.
The calibration comes from the read's header with temperature compensation on, as in the
program; other settings are those of a fresh installation.

Commands:
  trace   the read shape, one line per point 1..4095: point, angle (radians), radius (mm),
          separated by one blank, 17 significant digits
  answer  the exact bytes the send writes after the host's GS: ACK FS ... RS GS ACK
  oma     the 800 radii the host decodes from that answer, as a plain-text OMA trace file
          (TRCFMT=1;800;E;R;D, radii in hundredths of a millimetre)
  svg     the decoded outline drawn at true size (width and height in mm)
  archive the read as the archive keeps it after that send: a VCA trace file a lab's reader
          reads, with the records that reproduce the read exactly (--time: the read's time)
  measure the four sizes of any VCA trace file (TRCFMT=1, any count of radii): A (boxed
          width), B (boxed height), DM (effective diameter) and the perimeter, in mm
  send    the program's own send of the read over a real link to the host: Kovrel connects
          to the host at ADDRESS:PORT (--tcp; [::1]:PORT for IPv6), waits at most 30 s for the
          host to connect to PORT (--listen, from this machine only), or drops the VCA trace
          file in DIR (--folder). Exit status 0, and "Envio >OK< " on standard error, only
          when the host has it
  settings-file
          installs the settings file of a fresh installation (trac_conf.cfg) in FOLDER, the
          program's folder; a file already there is left as it is

Options (answer, oma, svg, archive, send; --filter for all but measure):
  --filter N          the filter setting (start of the probe-tip neighbour search; default 3),
                      -4095..4095
  --mirror            one click of the mirror button
  --turn-steps N      N single steps of the counter-clockwise button (N > 0) or |N| steps of
                      the clockwise button (N < 0), 1/6 degree each; |N| at most 2160
  --lens TYPE         lens type chosen on the panel: larger (+0.2 mm), same (default), smaller
                      (-0.1 mm)
  --manual MM         manual offset typed on the panel, mm (-0.5..0.5; outside, the panel
                      turns it into 0). Without --lens the panel's OK button sends.
  --general MM        general offset (the service setting), mm (default 0)
  --help              this text

Exit status: 0 done; 1 the program stopped the read or the send (its message, the text of the
information box, on standard error); 2 a mistake on the command line or an unreadable file.
)";
}

std::optional<CliArgs> parseCliArgs(const std::vector<std::string>& args, std::string& error) {
  CliArgs a;
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
    a.help = true;
    return a;
  }
  if (args.empty()) {
    error = "a command is needed: trace, answer, oma, svg, archive, measure or settings-file";
    return std::nullopt;
  }
  auto command = commandFromName(args[0]);
  if (!command) {
    error = "unknown command '" + args[0] + "'";
    return std::nullopt;
  }
  a.command = *command;

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& opt = args[i];
    auto value = [&](std::string& out) { return toolkit::takeValue(args, i, out, error); };
    const bool shapeOption = opt == "--mirror" || opt == "--turn-steps" || opt == "--lens" ||
                             opt == "--manual" || opt == "--general";
    if (shapeOption && (a.command == Command::Trace || a.command == Command::Measure)) {
      error = opt + " acts on the send: use it with answer, oma, svg or archive";
      return std::nullopt;
    }
    std::string v;
    if (opt == "--help" || opt == "-h") {
      a.help = true;
    } else if (opt == "--time" && a.command == Command::Archive) {
      if (!value(a.time)) return std::nullopt;
      if (a.time.size() > 10 && a.time[10] == 'T') a.time[10] = ' ';  // one word on a command line
      if (!parseWallTime(a.time)) {
        error = "--time takes \"YYYY-MM-DD HH:MM:SS\", not '" + a.time + "'";
        return std::nullopt;
      }
    } else if (opt == "--mirror") {
      a.mirror = true;
    } else if (opt == "--filter") {
      if (!value(v)) return std::nullopt;
      if (!toDouble(v, a.filterscope)) {
        error = "--filter takes a number, not '" + v + "'";
        return std::nullopt;
      }
      if (!preparation::filterInRange(a.filterscope)) {
        error = "--filter takes a number from -4095 to 4095 (one turn of rows), not '" + v + "'";
        return std::nullopt;
      }
    } else if (opt == "--turn-steps") {
      if (!value(v)) return std::nullopt;
      if (!toInt(v, a.turnSteps) || a.turnSteps < -kMaxTurnSteps || a.turnSteps > kMaxTurnSteps) {
        error = "--turn-steps takes a whole number from -2160 to 2160 (one turn), not '" + v + "'";
        return std::nullopt;
      }
    } else if (opt == "--lens") {
      if (!value(v)) return std::nullopt;
      if (v == "larger") {
        a.lens = LensType::Larger;
      } else if (v == "same") {
        a.lens = LensType::Same;
      } else if (v == "smaller") {
        a.lens = LensType::Smaller;
      } else {
        error = "--lens takes larger, same or smaller, not '" + v + "'";
        return std::nullopt;
      }
      a.lensGiven = true;
    } else if (opt == "--manual" || opt == "--general") {
      if (!value(v)) return std::nullopt;
      double mm = 0.0;
      if (!toDouble(v, mm)) {
        error = opt + " takes a number of millimetres, not '" + v + "'";
        return std::nullopt;
      }
      (opt == "--manual" ? a.manualMm : a.generalMm) = mm;
    } else if (opt == "--tcp" || opt == "--listen" || opt == "--folder") {
      if (!value(v)) return std::nullopt;
      if (a.command != Command::Send || a.link) {
        error = opt + " names the host's link of send, once";
        return std::nullopt;
      }
      LinkChoice link;
      link.kind = opt == "--tcp"      ? LinkKind::TcpConnect
                  : opt == "--listen" ? LinkKind::TcpListen
                                      : LinkKind::Folder;
      std::string portText = v;
      if (opt == "--tcp") {
        // ADDRESS:PORT, an IPv6 address between brackets: [::1]:5000.
        const std::size_t colon = v.rfind(':');
        link.address = v.substr(0, colon == std::string::npos ? v.size() : colon);
        portText = colon == std::string::npos ? "" : v.substr(colon + 1);
        if (link.address.size() > 1 && link.address.front() == '[' && link.address.back() == ']')
          link.address = link.address.substr(1, link.address.size() - 2);
      }
      if (opt == "--folder") link.folder = v;
      if (opt != "--folder" && !toInt(portText, link.port)) link.port = -1;
      if (const std::optional<std::string> problem = choiceProblem(link)) {
        error = opt + ": " + *problem;
        return std::nullopt;
      }
      a.link = link;
    } else if (opt.size() > 1 && opt[0] == '-' && opt != "-") {
      error = "unknown option '" + opt + "'";
      return std::nullopt;
    } else if (a.stream.empty()) {
      a.stream = opt;
    } else {
      error = "one STREAM only ('" + opt + "' is extra)";
      return std::nullopt;
    }
  }
  if (!a.help && a.command == Command::Send && !a.link) {
    error = "send needs the host's link: --tcp ADDRESS:PORT, --listen PORT or --folder DIR";
    return std::nullopt;
  }
  if (!a.help && a.stream.empty()) {
    error = "a STREAM file is needed";
    return std::nullopt;
  }
  return a;
}

}  // namespace kovrel::cli
