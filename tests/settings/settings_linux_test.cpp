// The settings on Linux: the file against what only a POSIX system lets a test provoke (a write cut
// short by a file-size limit, as a full disk cuts it; permissions; a read-only file and a linked
// one; the time zone), and which folders take the file, where the user's own folder is and who may
// enter it.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "base/texts.h"
#include "files/atomic_write.h"
#include "program_folder.h"
#include "settings/program_location.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

using testing::LoadedSettings;

TEST(SettingsAtomicRewritePosix, diskFullMidWriteKeepsTheOldFileAndTheNextFileItsPermissions) {
  const std::string original = SettingsFile::defaultFileContent();
  LoadedSettings s{original, SharedState()};
  s.state.midaradi = 61;  // a change that must not half-reach the disk
  ASSERT_EQ(::chmod(s.folder.file().c_str(), 0600), 0);
  // A file-size limit makes the write stop part-way exactly as a full disk does.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 64;  // bytes; the file is several times that
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult result = s.file.guarda_dades(s.state);
  setrlimit(RLIMIT_FSIZE, &previous);
  signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, SaveResult::Failed);
  EXPECT_NE(s.file.lastError().find(texts::kDiskFull), std::string::npos) << s.file.lastError();
  EXPECT_EQ(s.folder.read(), original);
  EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(s.folder.file())));
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);  // room again: the change goes through
  EXPECT_NE(s.folder.read().find("[RADI]= 61\r\n"), std::string::npos);
  struct stat after {};
  ASSERT_EQ(::stat(s.folder.file().c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0600u);
}

TEST(SettingsOwnersChoice, readOnlyFileIsLeftAloneAndToldOnceALinkIsWrittenThroughToItsTarget) {
  LoadedSettings s(SettingsFile::defaultFileContent());
  s.state.midaradi = 61;
  ASSERT_EQ(::chmod(s.folder.file().c_str(), 0444), 0);
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Failed);
  EXPECT_NE(s.file.lastError().find(texts::kReadOnly), std::string::npos) << s.file.lastError();
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Refused);  // once per run
  EXPECT_EQ(s.folder.read(), SettingsFile::defaultFileContent());

  // The file lives elsewhere, the program folder holds a link to it; a new file is the owner's alone.
  const std::filesystem::path target = s.folder.path().parent_path() / "elsewhere" / "real.cfg";
  std::filesystem::create_directory(target.parent_path());
  std::filesystem::rename(s.folder.file(), target);
  ::chmod(target.c_str(), 0644);
  std::filesystem::create_symlink(target, s.folder.file());
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_TRUE(std::filesystem::is_symlink(s.folder.file()) &&
              s.folder.read().find("[RADI]= 61\r\n") != std::string::npos);
  std::filesystem::remove(target);
  const mode_t previous = ::umask(0);
  std::filesystem::remove(s.folder.file());
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  ::umask(previous);
  EXPECT_EQ(std::filesystem::status(s.folder.file()).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(SettingsSetAside, theDatedNameIsInTheTechniciansLocalTime) {
  using namespace std::chrono;
  const char* before = ::getenv("TZ");
  const std::string previous = before ? before : "";
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // Madrid: UTC+1, in summer UTC+2
  ::tzset();
  const std::string winter = setAsideStamp(sys_days{2026y / 12 / 6} + 13h + 30min + 5s);
  const std::string summer = setAsideStamp(sys_days{2026y / 7 / 1} + 22h + 30min);
  before ? ::setenv("TZ", previous.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
  EXPECT_EQ(winter, ".20261206-143005");
  EXPECT_EQ(summer, ".20260702-003000");  // already the next day
}

TEST(ProgramLocationLinux, packagedFoldersNeverTakeTheFileEvenForRootAndKeepTheDefaultInEtc) {
  const testing::ProgramFolder build;
  EXPECT_TRUE(folderTakesFiles(build.path()));
  EXPECT_FALSE(folderTakesFiles("/usr/lib/../lib"));  // root may write there; an upgrade would too
  EXPECT_FALSE(folderTakesFiles(build.path() / "missing"));
  // The package's default is the administrator's file in /etc; any other install keeps it beside.
  EXPECT_EQ(installedDefaultFolder("/usr/lib/kovrel"), "/etc/kovrel");
  EXPECT_EQ(installedDefaultFolder("/usr/local/lib/kovrel"), "/usr/local/lib/kovrel");
  EXPECT_EQ(installedDefaultFolder(build.path()), build.path());
  EXPECT_EQ(machineSettingsFolder("/usr/lib/kovrel"), "/var/lib/kovrel");
  EXPECT_TRUE(machineSettingsFolder(build.path()).empty());
}

TEST(ProgramLocationLinux, aUserFolderTheProgramMakesIsTheUsersAloneTheMachinesFileEveryOperators) {
  const testing::ProgramFolder program, home("home"), shared("shared");
  const std::filesystem::path user = home.path() / "cfg" / "kovrel";
  using P = std::filesystem::perms;
  ASSERT_EQ(chooseSettingsFolder({program.path(), program.path(), {}, user},
                                 [](const std::filesystem::path&) { return false; }),
            user);
  EXPECT_EQ(std::filesystem::status(user).permissions(), P::owner_all);
  // No default anywhere: the shared file is still made here, or the loader would make it its own.
  ASSERT_EQ(chooseSettingsFolder({program.path(), program.path(), shared.path(), {}},
                                 [&](const std::filesystem::path& f) { return f == shared.path(); }),
            shared.path());
  EXPECT_EQ(std::filesystem::status(shared.file()).permissions(),
            P::owner_read | P::owner_write | P::group_read | P::group_write);
  EXPECT_EQ(shared.read(), SettingsFile::defaultFileContent(shared.path()));
}

}  // namespace
}  // namespace kovrel
