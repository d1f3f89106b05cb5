// The settings file's atomic rewrite against what only a POSIX system lets a test provoke: a
// write cut short by a file-size limit (as a full disk cuts it) and the old file's permissions.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>

#include "app/texts.h"
#include "program_folder.h"
#include "settings/file_sync.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

using testing::LoadedSettings;

class SettingsAtomicRewritePosix : public ::testing::Test {
 protected:
  SettingsAtomicRewritePosix() { s.state.midaradi = 61; }  // a change that must not half-reach the disk
  const std::string original = SettingsFile::defaultFileContent();
  LoadedSettings s{original, SharedState()};
};

TEST_F(SettingsAtomicRewritePosix, diskFullMidWriteKeepsTheOldFileAndLeavesNoTemporary) {
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
}

TEST_F(SettingsAtomicRewritePosix, newFileKeepsThePermissionsOfTheOldOne) {
  ASSERT_EQ(::chmod(s.folder.file().c_str(), 0600), 0);
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  struct stat after {};
  ASSERT_EQ(::stat(s.folder.file().c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace kovrel
