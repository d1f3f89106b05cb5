// A stand-in for the pair driver's control program, for the Windows tests and the Wine test rig
// (no pair driver exists there), which put it where the program looks: com0com\setupc.exe in a
// program folder. It answers as the control program does, keeping its pairs in
// "standin-pairs.txt" in its working folder (the program runs it from its own folder). Pair n has
// the host end it was given and our end COM<21+n>: names the rig maps to two ptys joined by a
// relay, so the bytes take a real path. Two extra commands serve the runner's test: "echo-args"
// writes each argument on a line, "exit N" ends with code N after a line on standard error.
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace {

const char* kState = "standin-pairs.txt";

std::map<int, std::string> load() {
  std::map<int, std::string> pairs;
  std::ifstream in(kState);
  int n = 0;
  std::string name;
  while (in >> n >> name) pairs[n] = name;
  return pairs;
}

void save(const std::map<int, std::string>& pairs) {
  std::ofstream out(kState, std::ios::trunc);
  for (const auto& [n, name] : pairs) out << n << ' ' << name << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  int at = 1;
  while (at < argc && std::string(argv[at]).rfind("--", 0) == 0) ++at;  // --silent and the like
  const std::string command = at < argc ? argv[at] : "";
  auto pairs = load();
  if (command == "echo-args") {
    for (int k = at + 1; k < argc; ++k) std::cout << argv[k] << '\n';
  } else if (command == "exit" && at + 1 < argc) {
    std::cerr << "ERROR: asked to fail\n";
    return std::stoi(argv[at + 1]);
  } else if (command == "list") {
    for (const auto& [n, name] : pairs)
      std::cout << "       CNCA" << n << " PortName=" << name << "\n       CNCB" << n << " PortName=COM"
                << 21 + n << ",dcd=ropen,dsr=rdtr\n";
  } else if (command == "busynames" && at + 1 < argc) {
    for (const auto& [n, name] : pairs)
      if (name == argv[at + 1]) std::cout << name << '\n';
  } else if (command == "install" && at + 1 < argc && std::string(argv[at + 1]).rfind("PortName=", 0) == 0) {
    int n = 0;
    while (pairs.contains(n)) ++n;
    pairs[n] = std::string(argv[at + 1]).substr(9);
    save(pairs);
  } else if (command == "change" && at + 2 < argc && std::string(argv[at + 1]).rfind("CNCA", 0) == 0 &&
             std::string(argv[at + 2]).rfind("PortName=", 0) == 0) {
    const int n = std::stoi(std::string(argv[at + 1]).substr(4));
    if (!pairs.contains(n)) return 1;
    pairs[n] = std::string(argv[at + 2]).substr(9);
    save(pairs);
  } else if (command == "remove" && at + 1 < argc) {
    pairs.erase(std::stoi(argv[at + 1]));
    save(pairs);
  } else {
    std::cerr << "unknown command\n";
    return 1;
  }
  return 0;
}
