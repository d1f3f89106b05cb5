// The archive on disk: month folders, names that never take another job's file, the listing and
// its index cache, unreadable files.

#include "archive/archive_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "archive_rig.h"
#include "file_bytes.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::Archive;

TEST(ArchiveStore, readsAreKeptByMonthUnderNamesThatSortByDateAndNeverTakeAnotherReadsFile) {
  Archive a;
  const ArchiveWrite first = a.keep("42", {2026, 12, 7, 14, 30, 12});
  ASSERT_TRUE(first.ok) << first.message;
  EXPECT_EQ(first.path, a.store.root() / "2026-12" / "20261207-143012-J0042.vca");
  // The same second and job again (a clock put back, two tracers): a file of its own.
  const ArchiveWrite again = a.keep("42", {2026, 12, 7, 14, 30, 12});
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.path.filename(), "20261207-143012-J0042-2.vca");
  EXPECT_EQ(testing::fileBytes(first.path), testing::fileBytes(again.path));

  // An update of a file that now holds another job is refused; the file stays as it was.
  KeptRead other = keptReadOf(a.read, 0, 3, a.now);
  other.job = "77";
  const std::string before = testing::fileBytes(first.path);
  EXPECT_FALSE(a.store.update(first.path, other).ok);
  EXPECT_EQ(testing::fileBytes(first.path), before);  // the same job's update: the index's test
}

TEST(ArchiveStore, theListIsNewestFirstFiltersShowsUnreadableFilesWithTheirReasonAndItsIndexIsOnlyACache) {
  Archive a;
  a.keep("1042", {2026, 11, 30, 9, 0, 0}), a.keep("2042", {2026, 12, 1, 9, 0, 0});
  a.keep("3001", {2026, 12, 7, 8, 0, 0}), a.keep("4042", {2026, 12, 7, 9, 0, 0});
  const fs::path month = a.store.root() / "2026-12";
  std::ofstream(month / "20261201-100000-J0009.vca") << "no soy un trazado";
  std::ofstream(month / "notas.txt") << "not listed";
  const std::string kept = testing::fileBytes(month / "20261207-090000-J4042.vca");
  std::ofstream(month / "20261207-100000-J0010.vca") << kept.substr(0, kept.size() / 2);  // cut short

  EXPECT_EQ(a.jobs(), (std::vector<std::string>{"?", "4042", "3001", "?", "2042", "1042"}));
  const ArchivePage page = a.store.list({}, 0, 6);
  EXPECT_NE(page.entries[0].reason.find("incompleto"), std::string::npos);
  EXPECT_NE(page.entries[3].reason.find("ningún trazado"), std::string::npos);
  EXPECT_FALSE(page.more);
  const ShapeSizes sizes = keptReadOf(a.read, 0, 3, {}).sizes;
  EXPECT_TRUE(std::abs(page.entries[1].a - sizes.a) < 0.005 && std::abs(page.entries[1].b - sizes.b) < 0.005);
  EXPECT_EQ(page.entries[1].outline.size(), static_cast<std::size_t>(kOutlineRadii));

  const std::pair<ArchiveFilter, std::vector<std::string>> filters[] = {
      {{"042", "", ""}, {"?", "4042", "2042", "1042"}},  // the file cut short still names its job
      {{"", "20261201", "20261206"}, {"?", "2042"}},
      {{"42", "", "20261130"}, {"1042"}},
      {{"9", "", ""}, {}},
  };
  for (const auto& [filter, expected] : filters) EXPECT_EQ(a.jobs(filter), expected) << filter.jobDigits;
  EXPECT_EQ(a.jobs({}, 1, 2), (std::vector<std::string>{"4042", "3001"}));
  EXPECT_TRUE(a.store.list({}, 1, 2).more);

  // The index is a cache: through it or from the files the list shows the same, every field (the
  // sizes to the hundredth), when it is missing, broken, stale or trusted whole.
  const auto shown = [](ArchiveStore& store) {
    std::vector<std::string> rows;
    for (const ArchiveEntry& e : store.list({}, 0, 10).entries) {
      rows.push_back(e.job + ' ' + wallTimeText(e.time) + ' ' + std::to_string(std::lround(e.a * 100)) + 'x' +
                     std::to_string(std::lround(e.b * 100)) + ' ' + std::to_string(e.sends) + e.lastOutcome +
                     e.reason + (e.readable ? "" : "!") + e.path.filename().string());
      for (int r : e.outline) rows.back() += ' ' + std::to_string(r);
    }
    return rows;
  };
  const auto listed = [&] {
    ArchiveStore fresh(a.store.root(), [&] { return a.now; });
    const auto rows = shown(fresh);
    fresh.saveIndex();
    return rows;
  };
  const auto fromFiles = shown(a.store);  // listed before any index: the store keeps these in memory
  listed();
  EXPECT_EQ(listed(), fromFiles);
  const fs::path index = a.store.root() / ".indice" / "2026-11.idx";
  ASSERT_TRUE(fs::exists(index));
  // A month whose folder changed is looked at again, and a file rewritten within its clock's
  // resolution (its time the same, its size not) is read again.
  a.keep("5", {2026, 11, 2, 9, 0, 0});
  KeptRead sent = keptReadOf(a.read, 0, 3, {});
  sent.job = "2042", sent.sends.push_back({a.now, "Envio >OK< "});
  const fs::path two = month / "20261201-090000-J2042.vca";
  const auto time = fs::last_write_time(two);
  ASSERT_TRUE(a.store.update(two, sent).ok);
  fs::last_write_time(two, time);
  const auto rewritten = listed();
  EXPECT_EQ(rewritten, shown(a.store));
  // One whose time and size did not change is not read again.
  const std::string bytes = testing::fileBytes(two);
  std::ofstream(two, std::ios::binary) << std::string(bytes).replace(bytes.find("JOB=2042"), 8, "JOB=9042");
  fs::last_write_time(two, time);
  EXPECT_EQ(listed(), rewritten);
  std::ofstream(two, std::ios::binary) << bytes;
  fs::last_write_time(two, time);
  std::error_code unsettable;  // Windows' C++ library cannot set a folder's time: there this step is skipped
  for (const char* settled : {"2026-11", "2026-12"})
    fs::last_write_time(a.store.root() / settled, fs::file_time_type::clock::now() - std::chrono::hours(1),
                        unsettable);
  listed();
  EXPECT_EQ(listed(), shown(a.store));
  std::ofstream(index) << "KOVREL-INDICE 1\nbasura\n\t\t\n";
  EXPECT_EQ(listed(), shown(a.store));
  fs::remove_all(a.store.root() / ".indice");
  EXPECT_EQ(listed(), shown(a.store));
}

}  // namespace
}  // namespace kovrel
