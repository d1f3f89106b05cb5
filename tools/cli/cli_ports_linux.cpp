#include "cli_ports.h"

namespace kovrel::cli {

int runSystemPorts(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return runPorts(args, systemComFolders(), out, err);
}

}  // namespace kovrel::cli
