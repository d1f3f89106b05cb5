// Where trac_conf.cfg lives: beside the program when its folder takes files, otherwise in the
// machine's shared folder or the user's own, filled from the machine's default file (or the
// user's earlier one) on the first start and left alone after.

#include <gtest/gtest.h>

#include "program_folder.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;

// Whatever the working folder, the settings are looked for beside the program itself.
TEST(ProgramLocation, theFolderHoldsTheRunningProgram) {
  const fs::path started = fs::current_path();
  fs::current_path(fs::temp_directory_path());  // started from elsewhere
  const fs::path folder = runningProgramFolder();
  fs::current_path(started);
  EXPECT_TRUE(folder.is_absolute()) << folder;
  EXPECT_TRUE(fs::is_regular_file(folder / KOVREL_TEST_PROGRAM)) << folder;
}

TEST(SettingsFolder, firstStartCopiesTheInstalledFileNamingTheUserFolderAndLaterStartsKeepTheUsersFile) {
  const testing::ProgramFolder program, etc("etc"), home("home"), shared("shared");
  const fs::path user = home.path() / ".config" / "kovrel";
  const std::string installed = SettingsFile::defaultFileContent(fs::path("/usr/lib/kovrel")) + "; nota\r\n";
  etc.write(installed);
  fs::permissions(etc.file(), fs::perms::owner_read | fs::perms::others_read);  // as a package leaves it
  auto choose = [&](const fs::path& writable, const fs::path& machine = {}) {
    return chooseSettingsFolder({program.path(), etc.path(), machine, user},
                                [&](const fs::path& f) { return f == writable; });
  };
  EXPECT_EQ(choose(program.path(), shared.path()), program.path());
  EXPECT_FALSE(fs::exists(user));

  ASSERT_EQ(choose({}, shared.path()), user);  // a machine's folder this user may not write
  EXPECT_EQ(fileBytes(user / kSettingsFileName), SettingsFile::defaultFileContent(user) + "; nota\r\n");
  SettingsFile file(user);  // the user's copy loads quietly and takes the saves
  SharedState state;
  EXPECT_FALSE(file.carrega_dades(state).replacedByDefault);
  state.midaradi = 62;
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved) << file.lastError();

  const std::string saved = fileBytes(user / kSettingsFileName);
  EXPECT_EQ(choose({}), user);  // a later start
  EXPECT_EQ(fileBytes(user / kSettingsFileName), saved);
  EXPECT_EQ(etc.read(), installed);
  EXPECT_FALSE(fs::exists(program.file()));

  // The machine's folder once it takes files: its first file is this user's, the lab's calibration.
  ASSERT_EQ(choose(shared.path(), shared.path()), shared.path());
  EXPECT_NE(shared.read().find("[RADI]= 62\r\n"), std::string::npos);
  EXPECT_NE(shared.read().find("[PATH]=" + shared.text() + "\r\n"), std::string::npos);
  EXPECT_EQ(fileBytes(user / kSettingsFileName), saved);
}

}  // namespace
}  // namespace kovrel
