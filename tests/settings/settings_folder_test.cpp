// Where trac_conf.cfg lives: beside the program when its folder takes files, otherwise in the
// user's own folder, filled from the installed file on the first start and left alone after.

#include <gtest/gtest.h>

#include <string>

#include "base/texts.h"
#include "program_folder.h"
#include "settings/settings_file.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::crlf;
using testing::fileBytes;
using testing::ProgramFolder;

// The file a package installs beside the program, [PATH] naming the install folder; a comment
// line shows that everything else is copied as it stands.
std::string installedFile() {
  std::string text = SettingsFile::defaultFileContent(fs::path("/usr/lib/kovrel"));
  return text.insert(text.find("\r\n") + 2, "; instalado\r\n");
}
const std::string kInstalled = installedFile();

class SettingsFolder : public ::testing::Test {
 protected:
  SettingsFolder() { program.write(kInstalled); }
  fs::path choose(bool programFolderTakesFiles) {
    return chooseSettingsFolder(program.path(), user, [&](const fs::path& folder) {
      EXPECT_EQ(folder, program.path());
      return programFolderTakesFiles;
    });
  }
  ProgramFolder program;
  ProgramFolder home{"home"};
  const fs::path user = home.path() / ".config" / "kovrel";
};

TEST_F(SettingsFolder, aProgramFolderThatTakesFilesKeepsTheFileAndTheUserFolderIsNeverMade) {
  EXPECT_EQ(choose(true), program.path());
  EXPECT_FALSE(fs::exists(user));
  // No user folder known: the program folder, whatever it takes.
  EXPECT_EQ(chooseSettingsFolder(program.path(), {}, [](const fs::path&) { return false; }), program.path());
}

TEST_F(SettingsFolder, firstStartCopiesTheInstalledFileNamingTheUserFolderAndLaterStartsKeepTheUsersFile) {
  // The installed file read-only, as a package leaves it: the copy must still be the user's to write.
  fs::permissions(program.file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  ASSERT_EQ(choose(false), user);
  EXPECT_EQ(fs::status(user).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(user / kSettingsFileName).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  const std::u8string userU8 = user.u8string();
  const std::string userText(userU8.begin(), userU8.end());
  std::string expected = kInstalled;
  expected.replace(expected.find("/usr/lib/kovrel"), 15, userText);
  EXPECT_EQ(fileBytes(user / kSettingsFileName), expected);

  // The program works on the copy: it loads without a message, and its saves land there.
  SettingsFile file(user);
  SharedState state;
  EXPECT_FALSE(file.carrega_dades(state).replacedByDefault);
  EXPECT_EQ(state.lletra, userText);
  state.midaradi = 62;
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved) << file.lastError();
  const std::string saved = fileBytes(user / kSettingsFileName);
  EXPECT_NE(saved.find("[RADI]= 62\r\n"), std::string::npos);

  // A later start, even after an upgrade changed the installed file, keeps the user's file.
  fs::permissions(program.file(), fs::perms::owner_write, fs::perm_options::add);
  program.write(crlf({"[INIC]", "[RADI]= 70", "[FINL]"}));
  EXPECT_EQ(choose(false), user);
  EXPECT_EQ(fileBytes(user / kSettingsFileName), saved);
  EXPECT_EQ(program.read(), crlf({"[INIC]", "[RADI]= 70", "[FINL]"}));
}

TEST_F(SettingsFolder, withoutAUsableInstalledFileTheLoaderWritesItsDefaultsInTheUserFolder) {
  for (const std::string& installed : {std::string(), std::string("not a settings file\r\n")}) {
    SCOPED_TRACE(installed);
    fs::remove_all(user);
    if (installed.empty())
      fs::remove(program.file());
    else
      program.write(installed);
    ASSERT_EQ(choose(false), user);
    EXPECT_TRUE(fs::is_directory(user) && !fs::exists(user / kSettingsFileName));
    EXPECT_EQ(program.read(), installed);  // the installed file is never set aside or replaced
    SettingsFile file(user);
    SharedState state;
    const LoadOutcome outcome = file.carrega_dades(state);
    EXPECT_EQ(outcome.problem, texts::kSettingsMissing);
    EXPECT_EQ(fileBytes(user / kSettingsFileName), SettingsFile::defaultFileContent(user));
  }
}

}  // namespace
}  // namespace kovrel
