#pragma once
// Command line of kovrel-cli.

#include <optional>
#include <string>
#include <vector>

#include "links/link_choice.h"
#include "settings/size_offsets.h"

namespace kovrel::cli {

enum class Command { Trace, Answer, Oma, Svg, Archive, Measure, SettingsFile, Send };

struct CliArgs {
  bool help = false;
  Command command = Command::Trace;
  std::string stream;        // path of a recorded read; "-" for standard input; a folder for settings-file
  double filterscope = 3.0;  // the filter setting of the settings file
  bool mirror = false;       // one click of the mirror button
  int turnSteps = 0;         // > 0 counter-clockwise steps, < 0 clockwise steps
  LensType lens = LensType::Same;
  bool lensGiven = false;           // --lens on the command line
  std::optional<double> manualMm;   // manual offset typed on the lens-type panel, mm
  std::optional<double> generalMm;  // general offset (OffsetMida), mm
  std::string time;                 // the archive file's time, "YYYY-MM-DD HH:MM:SS"; now when empty
  std::optional<LinkChoice> link;   // send: --tcp, --listen or --folder
};

// Parses the arguments after the program name. Returns nullopt and sets `error` on a mistake.
std::optional<CliArgs> parseCliArgs(const std::vector<std::string>& args, std::string& error);

std::string cliUsage();

}  // namespace kovrel::cli
