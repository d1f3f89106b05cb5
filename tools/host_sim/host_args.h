#pragma once
// Command line of kovrel-host-sim.

#include <optional>
#include <string>
#include <vector>

#include "host_session.h"

namespace kovrel::tools {

struct HostArgs {
  bool help = false;
  int com = 5;         // the program's virtual port, "COM5"
  std::string device;  // open this path instead of resolving the COM name
  HostConfig config;
  bool once = false;     // leave after one exchange
  std::string savePath;  // decoded trace saved as a plain-text OMA file
  bool window = false;
  bool quiet = false;   // no radii on standard output
  int waitSeconds = 0;  // how long to wait for the program to publish its port
  // TCP instead of the virtual port: connect to the program at tcpAddress:tcpPort, or (empty
  // address) wait on 127.0.0.1:tcpPort for the program to connect.
  std::string tcpAddress;
  int tcpPort = 0;
};

std::optional<HostArgs> parseHostArgs(const std::vector<std::string>& args, std::string& error);
std::string hostUsage();

// The 800 radii as text, ten to a line, for the operator watching the simulator.
std::string formatRadii(const std::vector<int>& radii);

}  // namespace kovrel::tools
