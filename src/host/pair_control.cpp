#include "host/pair_control.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <utility>

#include "base/texts.h"

namespace kovrel {

namespace {

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string trimmed(std::string_view s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1));
}

// What a failed run said last: its final non-empty line, kept short for the information box.
std::string lastWords(const ProgramRun& run) {
  std::istringstream lines(run.output);
  std::string line, last;
  while (std::getline(lines, line))
    if (auto t = trimmed(line); !t.empty()) last = t;
  if (last.empty()) return "código " + std::to_string(run.exitCode);
  return last.size() > 100 ? last.substr(0, 100) : last;
}

// "CNCA12" -> ('A', 12); anything else -> ('\0', -1).
std::pair<char, int> endIdentifier(std::string_view token) {
  const std::string t = upper(token);
  if (t.size() < 5 || t.size() > 9 || t.compare(0, 3, "CNC") != 0 || (t[3] != 'A' && t[3] != 'B'))
    return {'\0', -1};
  int n = 0;
  for (std::size_t k = 4; k < t.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(t[k]))) return {'\0', -1};
    n = n * 10 + (t[k] - '0');
  }
  return {t[3], n};
}

}  // namespace

bool sameDeviceName(std::string_view a, std::string_view b) { return upper(a) == upper(b); }

bool isHostComName(std::string_view name) {
  if (name.size() < 4 || name.size() > 6 || upper(name.substr(0, 3)) != "COM" || name[3] == '0') return false;
  int n = 0;
  for (char c : name.substr(3)) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= 255;
}

std::vector<PortPair> parsePairListing(std::string_view listing) {
  std::map<int, std::pair<std::string, std::string>> ends;  // index -> (A's name, B's name)
  std::istringstream lines{std::string(listing)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string id, params;
    words >> id >> params;
    const auto [side, number] = endIdentifier(id);
    if (number < 0) continue;
    std::map<std::string, std::string> values;
    std::istringstream items(params);
    for (std::string item; std::getline(items, item, ',');)
      if (auto eq = item.find('='); eq != std::string::npos)
        values[upper(item.substr(0, eq))] = item.substr(eq + 1);
    std::string name = values["PORTNAME"];
    if (name == "COM#") name = values["REALPORTNAME"];
    if (name.empty() || name == "-" || name == "COM#") name = upper(id);
    (side == 'A' ? ends[number].first : ends[number].second) = name;
  }
  std::vector<PortPair> pairs;
  for (const auto& [number, names] : ends)
    if (!names.first.empty() && !names.second.empty()) pairs.push_back({number, names.first, names.second});
  return pairs;
}

namespace {

// Why a run failed, in the operator's words; nothing when it did its work.
std::optional<PairControlError> failureOf(const ProgramRun& run) {
  if (run.needsAdmin) return PairControlError(std::string(texts::kPairNeedsAdministrator), true);
  if (!run.started) return PairControlError(std::string(texts::kPairControlMissing), true);
  if (run.timedOut) return PairControlError(std::string(texts::kPairControlFailed) + "no terminó");
  if (run.exitCode != 0) return PairControlError(std::string(texts::kPairControlFailed) + lastWords(run));
  return std::nullopt;
}

}  // namespace

std::string CommandPairControl::runOrThrow(const Args& args) {
  if (!found_) throw PairControlError(std::string(texts::kPairControlMissing), true);
  const ProgramRun run = run_(args);
  if (auto failure = failureOf(run)) throw *failure;
  return run.output;
}

std::vector<PortPair> CommandPairControl::pairs() { return parsePairListing(runOrThrow({"list"})); }

bool CommandPairControl::nameInUse(const std::string& name) {
  if (!isHostComName(name)) return true;  // never a name to give out
  std::istringstream words(runOrThrow({"busynames", name}));
  for (std::string word; words >> word;)
    if (sameDeviceName(word, name)) return true;
  return false;
}

void CommandPairControl::create(const std::string& hostName, Done done) {
  if (!isHostComName(hostName))
    return done(PairControlError(std::string(texts::kVirtualPortBadName) + hostName));
  // Our end's DCD follows whether the host end is open (the host's presence) and its DSR the
  // host's DTR (its line signal, and a second start's); the host end keeps the driver's wiring,
  // so it sees our DTR, raised while this program holds its end.
  change({"--silent", "install", "PortName=" + upper(hostName), "dcd=ropen,dsr=rdtr"}, std::move(done));
}

void CommandPairControl::rename(const PortPair& pair, const std::string& hostName, Done done) {
  if (!isHostComName(hostName))
    return done(PairControlError(std::string(texts::kVirtualPortBadName) + hostName));
  change({"--silent", "change", "CNCA" + std::to_string(pair.number), "PortName=" + upper(hostName)},
         std::move(done));
}

void CommandPairControl::change(const Args& args, Done done) {
  done_ = std::move(done);
  check_ = found_ ? elevated_(args) : RunCheck([] { return ProgramRun{}; });
}

void CommandPairControl::poll() {
  if (!check_) return;
  const std::optional<ProgramRun> run = check_();
  if (!run) return;
  check_ = nullptr;
  // The caller may start the next change from its handler.
  std::exchange(done_, nullptr)(failureOf(*run));
}

}  // namespace kovrel
