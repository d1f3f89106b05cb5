#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "app/texts.h"
#include "program_folder.h"
#include "settings/file_sync.h"
#include "settings/settings_file.h"
#include "settings/windows1252.h"

namespace kovrel {
namespace {

using testing::calibratedState;
using testing::crlf;
using testing::ProgramFolder;

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// A file as a technician's years of hand edits leave it: far more than a hundred records, blank
// lines, commas, quotes, accents, lines the program does not know.
std::string wellWornFile(const std::string& folderUtf8) {
  std::string text =
      crlf({"[INIC]", "", utf8ToWindows1252("; Calibración de fábrica, 5º intento"), "[GPOL]= 0.000227",
            "[RADI]= 60", "", "", "\"quoted, kept\"", "[PULS]= 150", "[FILT]=3", "[COMM]=3", "[VSPA]=5",
            "[RCEN]= 8", "[CARR]= 3945", "[PINI]= 4050", "[OBER]= 52"});
  for (int i = 1; i <= 120; ++i) text += crlf({"; note " + std::to_string(i) + ", checked"});
  text += utf8ToWindows1252(crlf({"[PATH]=" + folderUtf8}));
  text += crlf({"[INST]=10", "[OFFS]=-0.1", "", "[FINL]"});
  return text;
}

// ---- No line lost or multiplied ---------------------------------------------------------------

TEST(SettingsRoundTrip, wornFileWithCommaInFolderSurvivesManyCyclesByteIdentical) {
  ProgramFolder folder("Ópticas Año, S.L.");
  const std::string original = wellWornFile(folder.text());
  ASSERT_NE(original.find("A\xF1o, S.L."), std::string::npos);  // one byte per accent on disk
  folder.write(original);
  for (int cycle = 0; cycle < 5; ++cycle) {
    SettingsFile file(folder.path());
    SharedState state;
    file.carrega_dades(state);
    ASSERT_EQ(file.linies_config().size(), 141u) << cycle;
    EXPECT_EQ(file.linies_config()[2], "; Calibración de fábrica, 5º intento");  // UTF-8 in memory
    EXPECT_EQ(state.lletra, folder.text());
    ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved) << cycle;
    ASSERT_EQ(folder.read(), original) << cycle;
  }
}

TEST(SettingsRoundTrip, lineEndsOfOtherSystemsComeBackAsCrLf) {
  ProgramFolder folder;
  folder.write("[INIC]\n[COMM]=3\r; old\r\n\n[FINL]");
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(folder.read(), crlf({"[INIC]", "[COMM]=3", "; old", "", "[FINL]"}));
}

TEST(SettingsRoundTrip, reloadingAShorterFileReplacesTheWholeLineTable) {
  ProgramFolder folder;
  folder.write(crlf({"[INIC]", "; a", "; b", "; c", "[FINL]"}));
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  folder.write(crlf({"[INIC]", "[FINL]"}));
  file.carrega_dades(state);
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(folder.read(), crlf({"[INIC]", "[FINL]"}));
}

TEST(SettingsRoundTrip, everyByteOfTheCodePageComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(utf8ToWindows1252(windows1252ToUtf8(all)), all);
  EXPECT_EQ(windows1252ToUtf8("\x80\xF1\xBA"), "€ñº");
  EXPECT_EQ(utf8ToWindows1252("ñº€"), "\xF1\xBA\x80");
  EXPECT_EQ(utf8ToWindows1252("a中b"), "a?b");  // no such character in the code page
  EXPECT_EQ(utf8ToWindows1252("a\xC3"
                              "b"),
            "a?b");                                // broken UTF-8
  EXPECT_EQ(utf8ToWindows1252("\xC0\xAF"), "??");  // overlong form
}

// ---- Missing, empty or unusable file ----------------------------------------------------------

TEST(SettingsMissingFile, missingOrEmptyFileIsReplacedByTheDefaultAndLoaded) {
  const std::vector<std::pair<bool, std::string_view>> cases = {{false, texts::kSettingsMissing},
                                                                {true, texts::kSettingsEmpty}};
  for (const auto& [emptyFile, problem] : cases) {
    ProgramFolder folder;
    if (emptyFile) folder.write("");
    SettingsFile file(folder.path());
    SharedState state;
    const LoadOutcome outcome = file.carrega_dades(state);
    EXPECT_TRUE(outcome.replacedByDefault);
    EXPECT_EQ(outcome.problem, problem);
    EXPECT_FALSE(outcome.portSetupPending);
    EXPECT_EQ(folder.read(), SettingsFile::defaultFileContent(folder.path()));
    EXPECT_EQ(state.midaradi, DefaultCalibration::midaradi);
    EXPECT_EQ(file.guarda_dades(state), SaveResult::Saved);
  }
}

TEST(SettingsMissingFile, whenNoFileCanBeWrittenTheDefaultsAreUsedFromMemory) {
  ProgramFolder folder;
  std::filesystem::create_directory(folder.file());  // nothing can be read from or renamed onto it
  SettingsFile file(folder.path());
  SharedState state;
  const LoadOutcome outcome = file.carrega_dades(state);
  EXPECT_TRUE(outcome.replacedByDefault);
  EXPECT_TRUE(startsWith(outcome.problem, texts::kSettingsDefaultsNotSaved)) << outcome.problem;
  EXPECT_EQ(file.lastError(), outcome.problem);
  EXPECT_EQ(state.polsoseix, DefaultCalibration::polsoseix);
  EXPECT_EQ(file.linies_config().size(), 18u);
  EXPECT_TRUE(std::filesystem::is_directory(folder.file()));
  EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(folder.file())));
}

TEST(SettingsMissingFile, saveBeforeAnyLoadLeavesTheFileAlone) {
  ProgramFolder folder;
  folder.write(crlf({"[INIC]", "[FINL]"}));
  SharedState state = calibratedState();
  EXPECT_EQ(SettingsFile(folder.path()).guarda_dades(state), SaveResult::Refused);
  EXPECT_EQ(folder.read(), crlf({"[INIC]", "[FINL]"}));
}

// ---- Atomic rewrite ---------------------------------------------------------------------------

class SettingsAtomicRewrite : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write(original);
    file.carrega_dades(state);
    state.midaradi = 61;  // a change that must not half-reach the disk
  }
  ProgramFolder folder;
  const std::string original = SettingsFile::defaultFileContent();
  SettingsFile file{folder.path()};
  SharedState state;
};

TEST_F(SettingsAtomicRewrite, failureToCreateTheNewFileKeepsTheOldOne) {
  std::filesystem::create_directory(temporaryPathFor(folder.file()));
  EXPECT_EQ(file.guarda_dades(state), SaveResult::Failed);
  EXPECT_TRUE(startsWith(file.lastError(), texts::kSettingsNotSaved)) << file.lastError();
  EXPECT_EQ(folder.read(), original);
}

TEST_F(SettingsAtomicRewrite, diskFullMidWriteKeepsTheOldFileAndLeavesNoTemporary) {
  // A file-size limit makes the write stop part-way exactly as a full disk does.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit small = previous;
  small.rlim_cur = 64;  // bytes; the file is several times that
  const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult result = file.guarda_dades(state);
  setrlimit(RLIMIT_FSIZE, &previous);
  signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, SaveResult::Failed);
  EXPECT_NE(file.lastError().find(texts::kDiskFull), std::string::npos) << file.lastError();
  EXPECT_EQ(folder.read(), original);
  EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(folder.file())));
  EXPECT_EQ(file.guarda_dades(state), SaveResult::Saved);  // room again: the change goes through
  EXPECT_NE(folder.read().find("[RADI]= 61\r\n"), std::string::npos);
}

TEST_F(SettingsAtomicRewrite, newFileKeepsThePermissionsOfTheOldOne) {
  ASSERT_EQ(::chmod(folder.file().c_str(), 0600), 0);
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  struct stat after {};
  ASSERT_EQ(::stat(folder.file().c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace kovrel
