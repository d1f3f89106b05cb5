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
  EXPECT_EQ(testing::fileBytes(first.path), before);
  other.job = "42";
  other.sends.push_back({a.now, "Envio >OK< "});
  ASSERT_TRUE(a.store.update(first.path, other).ok);
  EXPECT_NE(testing::fileBytes(first.path).find("_ENVIO=2026-12-07 14:30:12;Envio >OK< \r\n"),
            std::string::npos);
}

TEST(ArchiveStore, theListIsNewestFirstFiltersByJobAndDateAndShowsUnreadableFilesWithTheirReason) {
  Archive a;
  a.keep("1042", {2026, 11, 30, 9, 0, 0});
  a.keep("2042", {2026, 12, 1, 9, 0, 0});
  a.keep("3001", {2026, 12, 7, 8, 0, 0});
  a.keep("4042", {2026, 12, 7, 9, 0, 0});
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
  EXPECT_NEAR(page.entries[1].a, keptReadOf(a.read, 0, 3, {}).sizes.a, 0.005);
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
}

TEST(ArchiveStore, theIndexIsACacheRebuiltWhenMissingBrokenOrStaleAndTheFilesStayTheTruth) {
  Archive a;
  a.keep("1", {2026, 10, 1, 9, 0, 0});
  a.keep("2", {2026, 12, 1, 9, 0, 0});
  a.jobs();
  a.store.saveIndex();
  const fs::path index = a.store.root() / ".indice" / "2026-10.idx";
  ASSERT_TRUE(fs::exists(index));

  // A month whose folder changed is looked at again, a file in it only when its time or size
  // changed; an index that went bad is rebuilt. What the index gives is what the files give.
  std::vector<ArchiveEntry> warm;
  const auto listed = [&] {
    ArchiveStore fresh(a.store.root(), [&] { return a.now; });
    warm = fresh.list({}, 0, 10).entries;
    fresh.saveIndex();
    std::vector<std::string> jobs;
    for (const ArchiveEntry& e : warm) jobs.push_back(e.job);
    return jobs;
  };
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "1"}));
  std::vector<ArchiveEntry> cold = a.store.list({}, 0, 10).entries;
  for (ArchiveEntry& e : cold) e.a = std::round(e.a * 100) / 100, e.b = std::round(e.b * 100) / 100;
  EXPECT_EQ(warm, cold);  // the sizes to the hundredth shown
  a.keep("3", {2026, 10, 2, 9, 0, 0});
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "1"}));
  const fs::path first = a.store.root() / "2026-10" / "20261001-090000-J0001.vca";
  const auto stamp = fs::last_write_time(first);
  std::string bytes = testing::fileBytes(first);
  bytes.replace(bytes.find("JOB=1"), 5, "JOB=9");
  std::ofstream(first, std::ios::binary) << bytes;
  fs::last_write_time(first, stamp);
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "1"}));
  std::ofstream(index) << "KOVREL-INDICE 1\nbasura\n\t\t\n";
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "9"}));
  fs::remove_all(a.store.root() / ".indice");
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "9"}));
}

}  // namespace
}  // namespace kovrel
