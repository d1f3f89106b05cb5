// kovrel-cli: the program's capture, shape editing and send run on a recorded read, without a
// window, a tracer or a host.

#include <iostream>
#include <string>
#include <vector>

#include "binary_stdio.h"
#include "cli_run.h"
#include "real_links.h"

int main(int argc, char** argv) {
  kovrel::cli::useBinaryStandardStreams();
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kovrel::cli::RealLinksOwner links(argc, argv);
  const int code = kovrel::cli::runCli(args, std::cin, std::cout, std::cerr, links.links());
  std::cout.flush();
  return code;
}
