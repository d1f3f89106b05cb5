#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/texts.h"
#include "program_folder.h"
#include "settings/file_sync.h"
#include "settings/settings_file.h"
#include "settings/windows1252.h"

namespace kovrel {
namespace {

using testing::crlf;
using testing::LoadedSettings;
using testing::ProgramFolder;
using D = DefaultCalibration;

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// ---- No line lost or multiplied ---------------------------------------------------------------

TEST(SettingsRoundTrip, wornFileWithCommaInFolderSurvivesManyCyclesByteIdentical) {
  // A file as a technician's years of hand edits leave it: far more than a hundred records, blank
  // lines, commas, quotes, accents, lines the program does not know.
  ProgramFolder folder("Ópticas Año, S.L.");
  std::string original =
      crlf({"[INIC]", "", utf8ToWindows1252("; Calibración de fábrica, 5º intento"), "[GPOL]= 0.000227",
            "[RADI]= 60", "", "", "\"quoted, kept\"", "[PULS]= 150", "[FILT]=3", "[COMM]=3", "[VSPA]=5",
            "[RCEN]= 8", "[CARR]= 3945", "[PINI]= 4050", "[OBER]= 52"});
  for (int i = 1; i <= 120; ++i) original += crlf({"; note " + std::to_string(i) + ", checked"});
  original +=
      utf8ToWindows1252(crlf({"[PATH]=" + folder.text()})) + crlf({"[INST]=10", "[OFFS]=-0.1", "", "[FINL]"});
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

TEST(SettingsRoundTrip, otherLineEndsComeBackAsCrLfAndAShorterReloadReplacesTheLineTable) {
  LoadedSettings s("[INIC]\n[COMM]=3\r; old\r\n\n[FINL]");
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(), crlf({"[INIC]", "[COMM]=3", "; old", "", "[FINL]"}));
  s.folder.write(crlf({"[INIC]", "[FINL]"}));
  s.file.carrega_dades(s.state);
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(), crlf({"[INIC]", "[FINL]"}));
}

// ---- Missing, empty or unusable file ----------------------------------------------------------

TEST(SettingsMissingFile, missingOrEmptyFileIsReplacedByTheDefaultLoadedAndRewrittenUnchanged) {
  for (const bool emptyFile : {false, true}) {
    SCOPED_TRACE(emptyFile ? "empty" : "missing");
    ProgramFolder folder;
    if (emptyFile) folder.write("");
    SettingsFile file(folder.path());
    SharedState state;
    const LoadOutcome outcome = file.carrega_dades(state);
    EXPECT_TRUE(outcome.replacedByDefault && !outcome.portSetupPending);
    EXPECT_EQ(outcome.problem, emptyFile ? texts::kSettingsEmpty : texts::kSettingsMissing);
    const std::string content = SettingsFile::defaultFileContent(folder.path());
    EXPECT_EQ(folder.read(), content);
    EXPECT_NEAR(state.grausperpols, D::grausperpols, 1e-18);
    EXPECT_TRUE(state.midaradi == D::midaradi && state.carrera == D::carrera);
    EXPECT_TRUE(state.comport2 == D::comport2 && state.primera_instalacio == D::primera_instalacio);
    EXPECT_TRUE(state.lletra == folder.text() && file.guarda_dades(state) == SaveResult::Saved);
    EXPECT_EQ(folder.read(), content);
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
  EXPECT_TRUE(file.lastError() == outcome.problem && state.polsoseix == D::polsoseix);
  EXPECT_TRUE(file.linies_config().size() == 18u && std::filesystem::is_directory(folder.file()));
  EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(folder.file())));
}

TEST(SettingsMissingFile, fileWithoutAnySettingIsKeptUnderADatedNameBeforeTheDefaultReplacesIt) {
  const std::string junk = std::string("\x7f\x01garbage\r\n[XXXX]=1\r\n\xff", 22);
  ProgramFolder folder;
  folder.write(junk);
  SettingsFile file(folder.path());
  SharedState state;
  const LoadOutcome outcome = file.carrega_dades(state);
  EXPECT_TRUE(outcome.replacedByDefault && startsWith(outcome.problem, texts::kSettingsNoSettings));
  EXPECT_TRUE(folder.read() == SettingsFile::defaultFileContent(folder.path()) &&
              state.comport2 == D::comport2);
  std::vector<std::filesystem::path> aside;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path() != folder.file()) aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_NE(outcome.problem.find(aside[0].filename().string()), std::string::npos) << outcome.problem;
  EXPECT_EQ(testing::fileBytes(aside[0]), junk);
}

TEST(SettingsHandEdits, decimalCommaIsTheSeparatorButAFolderKeepsItsComma) {
  LoadedSettings s(crlf({"[RADI]= 60,5", "[FILT]=2,5", "[OFFS]=-0,1", "[CARR]= 3945,", "[PATH]=C:\\A,5"}));
  EXPECT_TRUE(s.state.midaradi == 60.5 && s.state.filterscope.toNumber() == 2.5);
  EXPECT_TRUE(s.state.OffsetMida.toNumber() == -0.1 && s.state.lletra.toText() == "C:\\A,5");
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_TRUE(startsWith(s.folder.read(), crlf({"[RADI]= 60.5", "[FILT]=2.5", "[OFFS]=-0.1"})));
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

TEST(SettingsMissingFile, saveBeforeAnyLoadLeavesTheFileAlone) {
  ProgramFolder folder;
  folder.write(crlf({"[INIC]", "[FINL]"}));
  SharedState state = testing::calibratedState();
  EXPECT_EQ(SettingsFile(folder.path()).guarda_dades(state), SaveResult::Refused);
  EXPECT_EQ(folder.read(), crlf({"[INIC]", "[FINL]"}));
}

// ---- Atomic rewrite ---------------------------------------------------------------------------

TEST(SettingsAtomicRewrite, failureToCreateTheNewFileKeepsTheOldOne) {
  const std::string original = SettingsFile::defaultFileContent();
  LoadedSettings s{original, SharedState()};
  s.state.midaradi = 61;  // a change that must not half-reach the disk
  std::filesystem::create_directory(temporaryPathFor(s.folder.file()));
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Failed);
  EXPECT_TRUE(startsWith(s.file.lastError(), texts::kSettingsNotSaved)) << s.file.lastError();
  EXPECT_EQ(s.folder.read(), original);
}

}  // namespace
}  // namespace kovrel
