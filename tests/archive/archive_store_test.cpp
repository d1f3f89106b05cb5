// The archive on disk: month folders, names that never take another job's file, the listing and
// its index cache, unreadable files, and folders that refuse to be written.

#include "archive/archive_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <random>

#include "archive/archive_keeper.h"
#include "archive_rig.h"
#include "file_bytes.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
namespace tk = toolkit;

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    do path_ = fs::temp_directory_path() / ("kovrel-archive-" + std::to_string(random()));
    while (!fs::create_directory(path_));
  }
  ~TempFolder() {
    std::error_code ignored;
    for (const auto& e : fs::recursive_directory_iterator(path_, ignored))
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct Archive {
  TempFolder folder;
  WallTime now{2026, 12, 7, 14, 30, 12};
  ArchiveStore store{folder.path() / "trazados", [this] { return now; }};
  const SharedState read = testing::capturedRead(tk::superellipse(26, 17, 6), 42);

  ArchiveWrite keep(const std::string& job, const WallTime& at) {
    now = at;
    KeptRead kept = keptReadOf(read, 0, 3, {});
    kept.job = job;
    return store.keep(kept);
  }
  std::vector<std::string> jobs(const ArchiveFilter& filter = {}, std::size_t first = 0,
                                std::size_t count = 100) {
    std::vector<std::string> jobs;
    for (const ArchiveEntry& e : store.list(filter, first, count).entries)
      jobs.push_back(e.readable ? e.job : "?");
    return jobs;
  }
};

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

  // A month whose folder changed is looked at again; an index that went bad is rebuilt.
  const auto listed = [&] {
    ArchiveStore fresh(a.store.root(), [&] { return a.now; });
    std::vector<std::string> jobs;
    for (const ArchiveEntry& e : fresh.list({}, 0, 10).entries) jobs.push_back(e.job);
    fresh.saveIndex();
    return jobs;
  };
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "1"}));
  a.keep("3", {2026, 10, 2, 9, 0, 0});
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "1"}));
  std::ofstream(index) << "KOVREL-INDICE 1\nbasura\n\t\t\n";
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "1"}));
  fs::remove_all(a.store.root() / ".indice");
  EXPECT_EQ(listed(), (std::vector<std::string>{"2", "3", "1"}));
}

TEST(ArchiveFaults, aFolderThatCannotBeMadeOrWrittenOrADiskFullIsToldOnceAndKeepsEveryFile) {
  Archive a;
  ASSERT_TRUE(a.keep("1", a.now).ok);
  const fs::path month = a.store.root() / "2026-12";
  const auto files = [&] { return std::distance(fs::directory_iterator(month), fs::directory_iterator()); };

  // Read-only (root writes anyway: there the check proves nothing).
  fs::permissions(month, fs::perms::owner_read | fs::perms::owner_exec);
  const ArchiveWrite refused = a.keep("2", a.now);
  fs::permissions(month, fs::perms::owner_all);
  if (::geteuid() != 0) {
    EXPECT_NE(refused.message.find(
                  "No se pudo guardar la lectura en el archivo de trazados: sin permiso de escritura"),
              std::string::npos)
        << refused.message;
    EXPECT_EQ(files(), 1);
  }
  fs::remove(refused.path);

  // Writes cut short as a full disk cuts them: told once, nothing half written or left behind.
  ArchiveKeeper keeper(a.store);
  SharedState turned = a.read;
  turned.gir_acumulat = 0.5;
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 4096;
  const auto handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto told = keeper.readFinished(a.read, 0, 3);
  const auto again = keeper.choicesMayHaveChanged(turned, 0, 3);
  setrlimit(RLIMIT_FSIZE, &previous);
  signal(SIGXFSZ, handler);
  ASSERT_TRUE(told);
  EXPECT_NE(told->find("disco lleno"), std::string::npos) << *told;
  EXPECT_FALSE(again);
  EXPECT_EQ(files(), 1);

  // Room again: the read is kept at its next change; nothing changed, nothing written.
  turned.gir_acumulat = 0.25;
  EXPECT_FALSE(keeper.choicesMayHaveChanged(turned, 0, 3));
  ASSERT_FALSE(keeper.currentFile().empty());
  EXPECT_EQ(parseTraceFile(testing::fileBytes(keeper.currentFile())).kept->choices.turn, 0.25);
  const auto stamp = fs::last_write_time(keeper.currentFile());
  EXPECT_FALSE(keeper.choicesMayHaveChanged(turned, 0, 3));
  EXPECT_EQ(fs::last_write_time(keeper.currentFile()), stamp);

  // The archive's folder under a file: it cannot be made, and a list of it is empty.
  std::ofstream(a.folder.path() / "fichero") << "x";
  ArchiveStore lost(a.folder.path() / "fichero" / "trazados", [&] { return a.now; });
  ArchiveKeeper lostKeeper(lost);
  const auto notMade = lostKeeper.readFinished(a.read, 0, 3);
  ASSERT_TRUE(notMade);
  EXPECT_NE(notMade->find("fichero"), std::string::npos) << *notMade;
  EXPECT_FALSE(lostKeeper.sent(a.read, "Envio >OK< ", 3));
  EXPECT_TRUE(lost.list({}, 0, 10).entries.empty());
}

}  // namespace
}  // namespace kovrel
