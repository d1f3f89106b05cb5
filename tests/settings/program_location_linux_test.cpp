// Which folders take the settings file, where the user's own folder is, and who may enter it.

#include <gtest/gtest.h>

#include "program_folder.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

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
