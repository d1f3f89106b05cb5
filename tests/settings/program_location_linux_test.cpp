// Which folders take the settings file, and where the user's own folder is.

#include <gtest/gtest.h>
#include <stdlib.h>

#include "program_folder.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

TEST(ProgramLocationLinux, packagedFoldersNeverTakeTheFileEvenForRootAndTheUserFolderFollowsXdg) {
  const testing::ProgramFolder build;
  EXPECT_TRUE(folderTakesFiles(build.path()));
  EXPECT_FALSE(folderTakesFiles("/usr/lib/../lib"));  // root may write there; an upgrade would too
  EXPECT_FALSE(folderTakesFiles(build.path() / "missing"));

  const std::string home = ::getenv("HOME") ? ::getenv("HOME") : "";
  ::setenv("HOME", "/home/ana", 1);
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // invalid, so ignored
  EXPECT_EQ(userSettingsFolder(), "/home/ana/.config/kovrel");
  ::setenv("XDG_CONFIG_HOME", "/home/ana/cfg", 1);
  EXPECT_EQ(userSettingsFolder(), "/home/ana/cfg/kovrel");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
}  // namespace kovrel
