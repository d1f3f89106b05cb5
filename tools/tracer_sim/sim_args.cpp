#include "sim_args.h"

#include <filesystem>

#include "common/command_line.h"

namespace kovrel::tools {
using toolkit::toDouble;
using toolkit::toInt;

std::string simUsage() {
  return R"(kovrel-tracer-sim: plays the lens-shape tracer on a pseudo-terminal.

Usage:
  kovrel-tracer-sim [options]            serve reads on a serial line published as COMn
  kovrel-tracer-sim generate FILE [opts] write one read to FILE ("-": standard output)

Each START (Enter or a line "start" on standard input, SIGUSR1, or the window's START button)
sends one read: 64-byte header, temperature, 4096 samples, two job-counter words (8262 bytes),
paced at 57600 8N1 (5760 bytes/s). A line "quit" on standard input, SIGINT or SIGTERM ends it.

Options:
  --com N              publish the line as COM N (default 3)
  --outline SHAPE       circle:R | ellipse:A,B | rect:A,B[,N] | offcentre:DX,DY[:SHAPE] | oma:PATH
                       (mm; default circle:25)
  --fault NAME         wrong-first-byte | below-range | high-byte | truncated | garbage
  --fast               send as fast as the line takes the bytes
  --record FILE        save each read sent (read 2 to FILE-2, ...)
  --replay FILE        send this recorded read on every START
  --stdout-stream FILE write one read to FILE and exit, no serial line ("-": standard output)
  --start              send one read as soon as the line is up
  --reads N            leave after N reads
  --job N              job counter of the first read (default 1; +1 per read)
  --serial TEXT        serial number in the header (up to 4 characters, default 0042)
  --temperature N      raw temperature reading (default 614: no compensation)
  --angleplus RAD      turntable step correction in the header (default 0)
  --centre COUNT       every read is a centre calibration: raw counts averaging COUNT over the
                       4095 steps of a turn (the program's calibration mean comes out as COUNT)
  --spread N           counts either side of the centre (default 2)
  --encoder            stream 16-bit arm readings without stopping, for the encoder monitor
                       (around --centre, default 1000, within --spread; toggled in the window)
  --rate N             encoder readings per second (default 200)
  --window             a small window: START button, outline chooser, progress bar
  --help               this text
)";
}

std::optional<SimArgs> parseSimArgs(const std::vector<std::string>& args, std::string& error) {
  SimArgs a;
  std::size_t i = 0;
  if (!args.empty() && args[0] == "generate") {
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
      error = "generate needs a FILE";
      return std::nullopt;
    }
    a.streamPath = args[1];
    i = 2;
  }
  for (; i < args.size(); ++i) {
    const std::string& opt = args[i];
    auto value = [&](std::string& out) { return toolkit::takeValue(args, i, out, error); };
    std::string v;
    if (opt == "--help" || opt == "-h") {
      a.help = true;
    } else if (opt == "--fast") {
      a.fast = true;
    } else if (opt == "--window") {
      a.window = true;
    } else if (opt == "--start") {
      a.startNow = true;
    } else if (opt == "--encoder") {
      a.encoder = true;
    } else if (opt == "--centre") {
      if (!value(v)) return std::nullopt;
      double c = 0;
      if (!toDouble(v, c) || c < 0 || c > 4095) {
        error = "--centre takes a count from 0 to 4095, not '" + v + "'";
        return std::nullopt;
      }
      a.centre = c;
    } else if (opt == "--com" || opt == "--reads" || opt == "--job" || opt == "--temperature" ||
               opt == "--spread" || opt == "--rate") {
      if (!value(v)) return std::nullopt;
      int n = 0;
      if (!toInt(v, n) || n < 0) {
        error = opt + " takes a whole number, not '" + v + "'";
        return std::nullopt;
      }
      if (opt == "--com") a.com = n;
      if (opt == "--reads") a.reads = n;
      if (opt == "--job") a.firstJob = n;
      if (opt == "--temperature") a.calibration.temperatura = n;
      if (opt == "--spread") a.spread = n;
      if (opt == "--rate") a.encoderRate = n;
    } else if (opt == "--angleplus") {
      if (!value(v)) return std::nullopt;
      if (!toDouble(v, a.calibration.angleplus)) {
        error = "--angleplus takes a number, not '" + v + "'";
        return std::nullopt;
      }
    } else if (opt == "--serial") {
      if (!value(v)) return std::nullopt;
      if (v.size() > 4) {
        error = "--serial holds at most 4 characters";
        return std::nullopt;
      }
      a.calibration.serial = v;
    } else if (opt == "--outline") {
      if (!value(a.outline)) return std::nullopt;
    } else if (opt == "--fault") {
      if (!value(v)) return std::nullopt;
      auto f = faultFromName(v);
      if (!f) {
        error = "unknown fault '" + v + "'";
        return std::nullopt;
      }
      a.fault = *f;
    } else if (opt == "--record") {
      if (!value(a.recordPath)) return std::nullopt;
    } else if (opt == "--replay") {
      if (!value(a.replayPath)) return std::nullopt;
    } else if (opt == "--stdout-stream") {
      if (!value(a.streamPath)) return std::nullopt;
    } else {
      error = "unknown option '" + opt + "'";
      return std::nullopt;
    }
  }
  if (a.com < 1 || a.com > 255) {
    error = "--com takes 1 to 255";
    return std::nullopt;
  }
  return a;
}

std::string recordPathFor(const std::string& path, int n) {
  if (n <= 1) return path;
  const std::filesystem::path p(path);
  std::filesystem::path named = p.parent_path() / (p.stem().string() + "-" + std::to_string(n));
  named += p.extension();
  return named.string();
}

}  // namespace kovrel::tools
