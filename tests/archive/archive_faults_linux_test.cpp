// The archive against what only a POSIX system lets a test provoke: a read-only folder and writes
// cut short by a file-size limit (as a full disk cuts them), and a folder that cannot be made.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

#include "archive/archive_keeper.h"
#include "archive_rig.h"
#include "file_bytes.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::Archive;

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
  const auto rewritten = parseTraceFile(testing::fileBytes(keeper.currentFile())).kept;
  EXPECT_TRUE(rewritten && rewritten->choices.turn == 0.25 && rewritten->radii.size() == 800u);
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
