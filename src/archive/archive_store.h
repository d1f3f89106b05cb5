#pragma once
// The archive of kept reads: one VCA trace file per read under a root folder (the user's data
// folder's "trazados"), one sub-folder a month (2026-12), file names that sort by date and carry
// the job (20261207-143012-J0042.vca). The files are the truth. An index in the root
// (.indice/2026-12.idx, one per month) is only a cache for the history's listing: a month whose
// folder changed since its index was written is looked at again, and only its changed files are
// read. Every write goes through the atomic replace; a write that fails leaves every file as it
// was and says why in Spanish.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "archive/kept_read.h"

namespace kovrel {

// The archive's folder inside the user's data folder.
inline constexpr const char* kArchiveFolderName = "trazados";
// Radii of an entry's outline, enough for a thumbnail.
inline constexpr int kOutlineRadii = 64;

struct ArchiveEntry {
  std::filesystem::path path;
  WallTime time;  // of the read (from the file; its name when the file has none)
  std::string job;
  double a = 0.0, b = 0.0;   // boxed width and height, mm
  std::vector<int> outline;  // kOutlineRadii radii, hundredths of mm, first at 0 rad, counter-clockwise
  int sends = 0;
  std::string lastOutcome;  // of the last send, "" when never sent
  bool readable = true;
  std::string reason;  // why not, in Spanish
  friend bool operator==(const ArchiveEntry&, const ArchiveEntry&) = default;
};

struct ArchiveFilter {
  std::string jobDigits;  // entries whose job contains these digits; "" for all
  std::string fromDay;    // "YYYYMMDD", inclusive; "" for no bound
  std::string toDay;      // "YYYYMMDD", inclusive
};

struct ArchivePage {
  std::vector<ArchiveEntry> entries;  // newest first
  bool more = false;                  // further entries match beyond this page
};

struct ArchiveWrite {
  bool ok = false;
  std::filesystem::path path;  // the file written
  std::string message;         // when not ok: the operator's message, Spanish
};

class ArchiveStore {
 public:
  using WallClock = std::function<WallTime()>;

  // `root` is created on the first write when missing.
  ArchiveStore(std::filesystem::path root, WallClock clock);

  const std::filesystem::path& root() const { return root_; }
  WallTime now() const { return clock_(); }

  // Keeps a finished read in a new file (its time set from the clock); another job's file is
  // never replaced: a name already taken gets a suffix (-2, -3...).
  ArchiveWrite keep(KeptRead& kept);
  // Writes `kept` again over the file it was kept in (changes, sends). A file that meanwhile holds
  // another read (another job, a newer Kovrel, not Kovrel's) is left alone.
  ArchiveWrite update(const std::filesystem::path& file, const KeptRead& kept);

  // The entries matching `filter`, newest first, from the `first`-th on, at most `count`. Reads
  // only the months it needs, from their index when it is fresh.
  ArchivePage list(const ArchiveFilter& filter, std::size_t first, std::size_t count);
  // Writes the index of every month looked at whose index was stale (a cache: a failure is quiet).
  void saveIndex();
  // Forgets what was loaded (the next list looks at the folders again).
  void forget();

  // The file's name for a read: 20261207-143012-J0042.vca.
  static std::string fileNameFor(const KeptRead& kept);

 private:
  struct Kept {
    ArchiveEntry entry;   // its outline left to the page that shows it
    std::string outline;  // as the index keeps it: radii separated by ';'
    long long stamp = 0;  // the file's modification time and size when it was read
    std::uintmax_t size = 0;
  };
  struct Month {
    long long folderStamp = -1;  // the folder's modification time when its files were listed
    std::vector<Kept> files;     // newest first
    bool loaded = false, dirty = false;
  };
  void refreshMonths();
  void loadMonth(const std::string& name, Month& m);
  std::filesystem::path indexFileOf(const std::string& month) const;

  std::filesystem::path root_;
  WallClock clock_;
  std::map<std::string, Month, std::greater<>> months_;  // newest first
};

// An entry for one file, read from its content.
ArchiveEntry archiveEntryOf(const std::filesystem::path& file);

// The wall clock of the system, local time.
WallTime systemWallTime();

}  // namespace kovrel
