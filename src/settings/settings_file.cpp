#include "settings/settings_file.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <system_error>
#include <utility>

#include "base/number_text.h"
#include "base/texts.h"
#include "files/atomic_write.h"
#include "settings/default_settings.h"
#include "settings/windows1252.h"

namespace kovrel {
namespace {

// One setting of the file: where it lives in the shared state and how its value is read and
// written. Exactly one of `number` and `dynamic` is set.
struct Setting {
  std::string_view tag;
  double SharedState::*number;
  Dynamic SharedState::*dynamic;
  bool readAsNumber;
  bool writtenAsNumber;
  bool required;  // the writer refuses to save while it is zero
};

// In the order the loader tests the tags.
constexpr std::array<Setting, 16> kSettings = {{
    {"[GPOL]", &SharedState::grausperpols, nullptr, true, true, true},
    {"[RADI]", &SharedState::midaradi, nullptr, true, true, true},
    {"[COHE]", &SharedState::angleplus, nullptr, true, true, false},
    {"[PULS]", &SharedState::polsoseix, nullptr, true, true, true},
    {"[FILT]", nullptr, &SharedState::filterscope, false, false, true},
    {"[COMM]", nullptr, &SharedState::comport1, false, false, true},
    {"[VSPA]", nullptr, &SharedState::comport2, false, false, true},
    {"[RCEN]", &SharedState::radi_central, nullptr, true, true, true},
    {"[CARR]", nullptr, &SharedState::carrera, true, true, true},
    {"[PINI]", &SharedState::polsosini, nullptr, true, true, true},
    {"[CCEN]", nullptr, &SharedState::calibra_centre, false, true, false},
    {"[CCAL]", nullptr, &SharedState::cicle_calibracio, false, true, false},
    {"[OBER]", &SharedState::obertura_brac, nullptr, true, true, true},
    {"[PATH]", nullptr, &SharedState::lletra, false, false, true},
    {"[INST]", nullptr, &SharedState::primera_instalacio, false, false, true},
    {"[OFFS]", nullptr, &SharedState::OffsetMida, true, true, false},
}};
// Markers frame the settings; they carry no value.
constexpr std::array<std::string_view, 2> kMarkers = {"[FINL]", "[INIC]"};
constexpr std::size_t kTagLength = 6;  // characters; the 7th separates tag and value
constexpr std::string_view kLineEnd = "\r\n";

const Setting* settingFor(std::string_view tag) {
  for (const Setting& setting : kSettings)
    if (setting.tag == tag) return &setting;
  return nullptr;
}

bool isMarker(std::string_view tag) {
  return std::find(kMarkers.begin(), kMarkers.end(), tag) != kMarkers.end();
}

// A number setting as the program computes with it; a text in a number setting is read with
// the number reader, as the loader would read it back.
double numberOf(const SharedState& state, const Setting& setting) {
  return setting.number ? state.*setting.number : (state.*setting.dynamic).toNumber();
}

bool isZero(const SharedState& state, const Setting& setting) {
  // A text counts as zero when it is a number equal to 0 or was never set; a folder is not.
  return setting.number ? state.*setting.number == 0.0 : state.*setting.dynamic == 0;
}

bool mustRefuse(const SharedState& state) {
  for (const Setting& setting : kSettings) {
    if (setting.required && isZero(state, setting)) return true;
    // A NaN (an arm geometry the arcsine cannot take) would reach the file as 0 and leave the
    // next start without a calibration: the last good file is worth more.
    if (!std::isfinite(numberOf(state, setting))) return true;
  }
  return false;
}

// The program writes every number with a point. A hand edit in a Spanish locale may put a
// comma there ("[RADI]= 60,5"): read as a number that would stop at the comma and the next save
// would write 60, a calibration cut short without a word. A value that is a number once its
// single comma is read as the point is taken that way (and written back with the point); any
// other comma, as in a folder path, stays as it is.
std::string decimalCommaAsPoint(const std::string& value) {
  const std::size_t comma = value.find(',');
  if (comma == std::string::npos || value.find_first_of(",.", comma + 1) != std::string::npos ||
      value.find('.') != std::string::npos)
    return value;
  std::string withPoint = value;
  withPoint[comma] = '.';
  return isNumberText(withPoint) ? withPoint : value;
}

void apply(SharedState& state, const Setting& setting, const std::string& stored) {
  const std::string value = setting.tag == "[PATH]" ? stored : decimalCommaAsPoint(stored);
  if (!setting.readAsNumber) {
    state.*setting.dynamic = value;
  } else if (setting.number) {
    state.*setting.number = readNumber(value);
  } else {
    state.*setting.dynamic = readNumber(value);
  }
}

std::string valueText(const SharedState& state, const Setting& setting) {
  if (setting.writtenAsNumber) return writeNumber(numberOf(state, setting));
  // Texts as they are; a number stored by a window in its shortest form ("3", not " 3.0").
  return (state.*setting.dynamic).toText();
}

// How a line of the file is read. A line is one record, whatever it holds. Records were never
// meant to hold commas or double quotes, but a program folder may ("C:\Ópticas, S.L.\Kovrel"):
// ending the record at the comma would cut the folder in two and the next rewrite would write
// the tail as a line of its own, one more at every save. The writer adds no comma and no quote
// of its own, so reading whole lines brings back every file the program wrote unchanged. A
// hand-edited record is still recognised: spaces in front of it are skipped and double quotes
// around it dropped before its tag is looked for. A line without a tag is kept exactly as it
// stands, spaces and quotes included.
std::string_view recordOf(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  line = first == std::string_view::npos ? std::string_view{} : line.substr(first);
  if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
  return line;
}

// Lines end with CR LF as written, or with LF or CR alone after an edit on another system. Blank
// lines are lines: they keep their place in every rewrite.
std::vector<std::string_view> splitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.push_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

enum class ReadProblem { None, Missing, Unreadable, Empty, NoSettings };

// True when some line of the file carries a tag of the file (a setting or a marker).
bool holdsAKnownTag(std::string_view bytes) {
  for (std::string_view line : splitLines(bytes)) {
    const std::string_view record = recordOf(line);
    const std::string_view tag = record.substr(0, std::min(record.size(), kTagLength));
    if (settingFor(tag) || isMarker(tag)) return true;
  }
  return false;
}

// "trac_conf.cfg.20261206-143005": the name a file the program cannot use is kept under.
std::filesystem::path setAsideName(const std::filesystem::path& file) {
  const std::string stamp = setAsideStamp(std::chrono::system_clock::now());
  std::filesystem::path aside = file;
  aside += stamp;
  for (int n = 2; std::filesystem::exists(aside) && n < 100; ++n) {
    aside = file;
    aside += stamp + "-" + std::to_string(n);
  }
  return aside;
}

ReadProblem readFile(const std::filesystem::path& path, std::string& bytes) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return ReadProblem::Missing;
  if (error || !std::filesystem::is_regular_file(status)) return ReadProblem::Unreadable;
  std::ifstream in(path, std::ios::binary);
  if (!in) return ReadProblem::Unreadable;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return ReadProblem::Unreadable;
  // An empty file holds no calibration and no ports: every save would be refused for good.
  return bytes.empty() ? ReadProblem::Empty : ReadProblem::None;
}

std::string_view replacedText(ReadProblem problem) {
  switch (problem) {
    case ReadProblem::Missing:
      return texts::kSettingsMissing;
    case ReadProblem::Empty:
      return texts::kSettingsEmpty;
    default:
      return texts::kSettingsUnreadable;
  }
}

std::string folderTextOf(const std::filesystem::path& folder) {
  const std::u8string utf8 = folder.u8string();
  std::string text(utf8.begin(), utf8.end());
  const char native = static_cast<char>(std::filesystem::path::preferred_separator);
  while (text.size() > 1 && (text.back() == '/' || text.back() == native)) text.pop_back();
  return text;
}

std::string defaultContentFor(const std::string& folderUtf8) {
  using D = DefaultCalibration;
  const std::array<std::string, 18> lines = {
      "[INIC]",
      "[GPOL]=" + writeNumber(D::grausperpols),
      "[RADI]=" + writeNumber(D::midaradi),
      "[COHE]=" + writeNumber(D::angleplus),
      "[PULS]=" + writeNumber(D::polsoseix),
      "[FILT]=" + std::to_string(D::filterscope),
      "[COMM]=" + std::to_string(D::comport1),
      "[VSPA]=" + std::to_string(D::comport2),
      "[RCEN]=" + writeNumber(D::radi_central),
      "[CARR]=" + writeNumber(D::carrera),
      "[PINI]=" + writeNumber(D::polsosini),
      "[CCEN]=" + writeNumber(D::calibra_centre),
      "[CCAL]=" + writeNumber(D::cicle_calibracio),
      "[OBER]=" + writeNumber(D::obertura_brac),
      "[PATH]=" + folderUtf8,
      "[INST]=" + std::to_string(D::primera_instalacio),
      "[OFFS]=" + writeNumber(D::OffsetMida),
      "[FINL]",
  };
  std::string text;
  for (const std::string& line : lines) text.append(line).append(kLineEnd);
  return utf8ToWindows1252(text);
}

// The installed file's bytes with every [PATH] record naming `folder`; other lines as they are.
std::string withFolder(std::string_view bytes, const std::filesystem::path& folder) {
  std::string text;
  for (std::string_view line : splitLines(bytes)) {
    if (recordOf(line).substr(0, kTagLength) == "[PATH]")
      text.append("[PATH]=").append(utf8ToWindows1252(folderTextOf(folder)));
    else
      text.append(line);
    text.append(kLineEnd);
  }
  return text;
}

// Fills `folder` with its first trac_conf.cfg, [PATH] naming `folder`, from the first file of
// `sources` that holds settings. Any entry already under the name, a link or a file the loader
// cannot read included, is left to the loader, as a file beside the program is.
void seedSettingsFile(const std::filesystem::path& folder,
                      std::initializer_list<std::filesystem::path> sources, bool shared) {
  const std::filesystem::path file = folder / kSettingsFileName;
  std::error_code error;
  if (std::filesystem::symlink_status(file, error).type() != std::filesystem::file_type::not_found) return;
  std::string bytes;
  for (const std::filesystem::path& source : sources)
    if (!source.empty() && readFile(source / kSettingsFileName, bytes) == ReadProblem::None &&
        holdsAKnownTag(bytes))
      break;
  // The shared file is made here even without a source: the loader's own would be its alone.
  if (!holdsAKnownTag(bytes) && !shared) return;
  bytes = holdsAKnownTag(bytes) ? withFolder(bytes, folder) : defaultContentFor(folderTextOf(folder));
  // Written new, so the writer's alone whatever the source's mode; every operator's when shared.
  if (replaceFileAtomically(file, bytes).ok() && shared)
    std::filesystem::permissions(file,
                                 std::filesystem::perms::group_read | std::filesystem::perms::group_write,
                                 std::filesystem::perm_options::add, error);
}

}  // namespace

std::string setAsideStamp(std::chrono::system_clock::time_point t) {
  // The technician compares it with the clock on the wall: local time, as the system's time zone
  // (TZ included) says; UTC only when the system cannot convert.
  const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
  const std::tm* local = std::localtime(&seconds);
  if (local == nullptr) local = std::gmtime(&seconds);
  char stamp[32] = "";
  if (local != nullptr) std::strftime(stamp, sizeof stamp, ".%Y%m%d-%H%M%S", local);
  return stamp;
}

std::filesystem::path chooseSettingsFolder(
    const SettingsFolders& folders, const std::function<bool(const std::filesystem::path&)>& takesFiles) {
  if (takesFiles(folders.program)) return folders.program;
  if (!folders.machine.empty() && takesFiles(folders.machine)) {
    // An operator's own file from before the machine's folder keeps the lab's calibration.
    seedSettingsFile(folders.machine, {folders.user, folders.defaults}, true);
    return folders.machine;
  }
  if (folders.user.empty()) return folders.program;
  std::error_code error;
  if (!std::filesystem::exists(folders.user, error) &&
      std::filesystem::create_directories(folders.user, error))
    std::filesystem::permissions(folders.user, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
  seedSettingsFile(folders.user, {folders.defaults}, false);
  return folders.user;
}

SettingsFile::SettingsFile(std::filesystem::path programFolder) : folder_(std::move(programFolder)) {}

std::string SettingsFile::defaultFileContent() {
  return defaultContentFor(std::string(kDefaultProgramFolder));
}

std::string SettingsFile::defaultFileContent(const std::filesystem::path& programFolder) {
  return defaultContentFor(folderTextOf(programFolder));
}

std::string SettingsFile::folderText() const { return folderTextOf(folder_); }

LoadOutcome SettingsFile::carrega_dades(SharedState& state) {
  LoadOutcome outcome;
  lastError_.clear();
  // The file is always the one in the running program's folder; a [PATH] record then replaces
  // lletra with the folder stored in it for the rest of the run.
  state.lletra = folderText();

  saveBlocked_ = false;
  std::string bytes;
  ReadProblem problem = readFile(path(), bytes);
  std::string asideText;
  if (problem == ReadProblem::None && !holdsAKnownTag(bytes)) {
    // Random bytes, another program's file: nothing to read, but maybe something a technician
    // wants back. It is kept under a dated name before the default file takes its place.
    problem = ReadProblem::NoSettings;
    const std::filesystem::path aside = setAsideName(writeTargetOf(path()));
    std::error_code error;
    std::filesystem::rename(writeTargetOf(path()), aside, error);
    const std::u8string name = aside.filename().u8string();
    asideText = error ? std::string() : std::string(name.begin(), name.end());
    if (error) {
      // It could not be set aside: the defaults run this session and the file stays untouched.
      readRecords(defaultFileContent(folder_), state);
      saveBlocked_ = true;
      outcome.replacedByDefault = true;
      outcome.problem = std::string(texts::kSettingsDefaultsNotSaved) + " (" + error.message() + ")";
      outcome.portSetupPending = state.primera_instalacio == 1;
      return outcome;
    }
  }
  if (problem != ReadProblem::None) {
    outcome.replacedByDefault = true;
    bytes = defaultFileContent(folder_);
    const WriteOutcome written = replaceFileAtomically(path(), bytes);
    if (written.ok()) {
      outcome.problem = std::string(replacedText(problem));
      if (problem == ReadProblem::NoSettings)
        outcome.problem = std::string(texts::kSettingsNoSettings) + asideText +
                          std::string(texts::kSettingsDefaultsWritten);
    } else {
      // The defaults still let the operator read and send; they are saved once the folder
      // takes a file again.
      outcome.problem =
          std::string(texts::kSettingsDefaultsNotSaved) + " (" + writeProblemText(written) + ")";
      lastError_ = outcome.problem;
    }
  }
  readRecords(bytes, state);
  outcome.portSetupPending = state.primera_instalacio == 1;
  return outcome;
}

bool SettingsFile::peek(const std::filesystem::path& programFolder, SharedState& state) {
  SettingsFile file(programFolder);
  std::string bytes;
  if (readFile(file.path(), bytes) != ReadProblem::None) return false;
  file.readRecords(bytes, state);
  return true;
}

void SettingsFile::readRecords(std::string_view bytes, SharedState& state) {
  // A load replaces the whole table: lines of an earlier, longer file must not be replayed.
  lines_.clear();
  for (std::string_view line : splitLines(bytes)) {
    const std::string_view record = recordOf(line);
    const std::string_view tag = record.substr(0, std::min(record.size(), kTagLength));
    if (const Setting* setting = settingFor(tag)) {
      const std::string_view value =
          record.size() > kTagLength + 1 ? record.substr(kTagLength + 1) : std::string_view{};
      apply(state, *setting, windows1252ToUtf8(value));
      lines_.emplace_back(tag);
    } else if (isMarker(tag)) {
      lines_.emplace_back(tag);  // text behind a marker is dropped
    } else {
      lines_.push_back(windows1252ToUtf8(line));
    }
  }
  loaded_ = true;
}

SaveResult SettingsFile::guarda_dades(SharedState& state) {
  lastError_.clear();
  // Without a load there are no lines to replay, and an empty rewrite would wipe the file.
  if (!loaded_ || saveBlocked_ || mustRefuse(state)) return SaveResult::Refused;

  state.lletra = folderText();
  std::string text;
  for (const std::string& line : lines_) {
    if (const Setting* setting = settingFor(line))
      text.append(line).append("=").append(valueText(state, *setting));
    else
      text.append(line);  // a bare marker, or a line the program does not know
    text.append(kLineEnd);
  }

  const WriteOutcome written = replaceFileAtomically(path(), utf8ToWindows1252(text));
  if (written.problem == WriteProblem::ReadOnly) {
    // The owner keeps this file as it is: told once, then every save leaves it alone quietly.
    if (readOnlyTold_) return SaveResult::Refused;
    readOnlyTold_ = true;
  }
  if (!written.ok()) {
    lastError_ = std::string(texts::kSettingsNotSaved) + ": " + writeProblemText(written);
    return SaveResult::Failed;
  }
  return SaveResult::Saved;
}

}  // namespace kovrel
