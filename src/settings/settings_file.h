#pragma once
// trac_conf.cfg: every value that survives a restart. The loader reads the file into the shared
// state and remembers its lines in order; the writer replays those lines with the current value
// of each setting behind its tag, so line order, markers and lines it does not know survive.
// The file is 8-bit Windows-1252 text with CR LF line ends; values are UTF-8 in memory.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_state.h"

namespace kovrel {

inline constexpr const char* kSettingsFileName = "trac_conf.cfg";

struct LoadOutcome {
  // The file was missing or unreadable: a default file was written and loaded instead.
  // `problem` says what happened, for the operator.
  bool replacedByDefault = false;
  std::string problem;
  // primera_instalacio equals 1: the caller disables the read button and starts port set-up.
  bool portSetupPending = false;
};

enum class SaveResult {
  Saved,
  Refused,  // a required setting is zero: the file is left as it was, silently
  Failed,   // the file could not be written: the old file is intact; `lastError()` says why
};

class SettingsFile {
 public:
  // `programFolder`: the folder that holds the program and its trac_conf.cfg.
  explicit SettingsFile(std::filesystem::path programFolder);

  // Loads the file into `state` (carrega_dades).
  LoadOutcome carrega_dades(SharedState& state);
  // Rewrites the file from the remembered lines and `state` (guarda_dades). Atomic: the old
  // file stays whole until the new one is complete on disk.
  SaveResult guarda_dades(SharedState& state);

  // Reads the settings of the file in `programFolder` into `state` as the loader does, and writes
  // nothing, not even a default file: a second start only looks at the running copy's file.
  // False when the file is missing, unreadable or empty.
  static bool peek(const std::filesystem::path& programFolder, SharedState& state);

  const std::vector<std::string>& linies_config() const { return lines_; }
  const std::string& lastError() const { return lastError_; }
  std::filesystem::path path() const { return folder_ / kSettingsFileName; }

  // The file installed with the program (CR LF, Windows-1252), [PATH] holding the install folder.
  static std::string defaultFileContent();
  // The same content with `programFolder` under [PATH]: what a missing file is replaced with.
  static std::string defaultFileContent(const std::filesystem::path& programFolder);

 private:
  // Fills `lines_` and the settings from the bytes of a whole file.
  void readRecords(std::string_view bytes, SharedState& state);
  // The program folder as the settings hold it: UTF-8, no trailing separator.
  std::string folderText() const;

  std::filesystem::path folder_;
  std::vector<std::string> lines_;  // linies_config: a tag, or a whole unrecognised line (UTF-8)
  bool loaded_ = false;             // the writer has lines to replay only after a load
  bool saveBlocked_ = false;        // a file that could not be set aside is never overwritten
  bool readOnlyTold_ = false;       // the operator heard once that the file is read-only
  std::string lastError_;
};

// The folders a settings file may live in.
struct SettingsFolders {
  std::filesystem::path program;   // the running program's
  std::filesystem::path defaults;  // the machine's default file's (installedDefaultFolder)
  std::filesystem::path machine;   // every operator's, where the installation has one
  std::filesystem::path user;      // the user's own (userSettingsFolder)
};

// The folder whose trac_conf.cfg the program reads and writes. The program folder when it takes
// files (a build folder, a per-user install), so the file stays beside the program. Otherwise the
// machine's folder when there is one and it takes files: its file, made on the first start from
// the starting user's own earlier file or the machine's default, is every operator's to write.
// Otherwise the user's folder, made the user's alone; a first start fills it from the machine's
// default, and a later start leaves the user's file as it is. No default file: the loader writes
// its defaults there. The program folder itself when the system cannot say where the user's
// folders are. [PATH] of a file made here names its folder.
std::filesystem::path chooseSettingsFolder(
    const SettingsFolders& folders, const std::function<bool(const std::filesystem::path&)>& takesFiles);

// ".20261206-143005": what a file the loader cannot use is set aside under, behind its name, for
// the moment `t` in the system's local time.
std::string setAsideStamp(std::chrono::system_clock::time_point t);

}  // namespace kovrel
