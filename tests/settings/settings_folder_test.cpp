// Where trac_conf.cfg lives: beside the program when its folder takes files, otherwise in the
// user's own folder, filled from the machine's default file on the first start and left alone after.

#include <gtest/gtest.h>

#include "program_folder.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::fileBytes;

TEST(SettingsFolder, firstStartCopiesTheInstalledFileNamingTheUserFolderAndLaterStartsKeepTheUsersFile) {
  const testing::ProgramFolder program, machine("etc"), home("home");
  const fs::path user = home.path() / ".config" / "kovrel";
  const std::string installed = SettingsFile::defaultFileContent(fs::path("/usr/lib/kovrel")) + "; nota\r\n";
  machine.write(installed);
  fs::permissions(machine.file(), fs::perms::owner_read | fs::perms::others_read);  // as a package leaves it
  auto choose = [&](bool takesFiles) {
    return chooseSettingsFolder(program.path(), machine.path(), user,
                                [&](const fs::path&) { return takesFiles; });
  };
  EXPECT_EQ(choose(true), program.path());
  EXPECT_FALSE(fs::exists(user));

  ASSERT_EQ(choose(false), user);
  EXPECT_EQ(fileBytes(user / kSettingsFileName), SettingsFile::defaultFileContent(user) + "; nota\r\n");
  SettingsFile file(user);  // the user's copy loads quietly and takes the saves
  SharedState state;
  EXPECT_FALSE(file.carrega_dades(state).replacedByDefault);
  state.midaradi = 62;
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved) << file.lastError();

  const std::string saved = fileBytes(user / kSettingsFileName);
  EXPECT_EQ(choose(false), user);  // a later start
  EXPECT_EQ(fileBytes(user / kSettingsFileName), saved);
  EXPECT_EQ(machine.read(), installed);
  EXPECT_FALSE(fs::exists(program.file()));
}

}  // namespace
}  // namespace kovrel
