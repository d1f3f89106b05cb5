#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "base/number_text.h"
#include "base/texts.h"
#include "files/atomic_write.h"
#include "program_folder.h"
#include "settings/program_location.h"
#include "settings/windows1252.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
using testing::crlf;
using testing::fileBytes;
using testing::LoadedSettings;

// ---- Numbers as the file holds them, whatever the operator's locale

TEST(NumberReader, knownAnswersAndEveryCodePageByteComesBackWhatItCannotHoldAsAQuestionMark) {
  // clang-format off
  const std::vector<std::pair<std::string, double>> rows = {
      {"24.5", 24.5}, {"2 4 .\t5", 24.5}, {"-0.1", -0.1}, {"+3", 3},      {".5", 0.5},    {"-.5", -0.5},
      {"5.", 5},      {"3.5E2", 350},     {"3.5D2", 350}, {"35e-1", 3.5}, {"1E+3", 1000}, {"12abc", 12},
      {"1,5", 1},     {"1.2.3", 1.2},     {"7E+", 7},     {"abc", 0},     {"", 0},        {"-", 0},
      {".", 0},       {"+-5", 0},         {"E5", 0},      {"1E999", 0},
      {"0.000227218319888178", 0.000227218319888178}};
  // clang-format on
  for (const auto& [text, value] : rows) EXPECT_EQ(readNumber(text), value) << '"' << text << '"';
  EXPECT_TRUE(readNumber("1\n2") == 1 && readNumber("1\n2", true) == 12);  // padding in the header only
  for (const char* yes : {"3", " 10", "-0.5", "1E5", "5."}) EXPECT_TRUE(isNumberText(yes)) << yes;
  for (const char* no : {"", "-", "12abc", "/opt/kovrel", "1,5"}) EXPECT_FALSE(isNumberText(no)) << no;
  double typed = 0;  // what the operator types takes the locale's separator or a point
  EXPECT_TRUE(parseLocaleNumber("0,15", ',', typed) && typed == 0.15);
  EXPECT_TRUE(parseLocaleNumber("0.15", ',', typed) && typed == 0.15);
  EXPECT_FALSE(parseLocaleNumber("0,15mm", ',', typed) || parseLocaleNumber("0,15", '.', typed));
  std::string all;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    ASSERT_EQ(utf8ToWindows1252(windows1252ToUtf8(byte)), byte) << b;
    all += byte;
  }
  EXPECT_EQ(
      windows1252ToUtf8(all.substr(0x7F, 34) + "\xBA\xF1\xFF"),  // the code page's own table, then Latin-1
      "\x7F€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ\xC2\xA0ºñÿ");
  // Valid characters outside the code page, then malformed UTF-8 a byte at a time: overlong,
  // a surrogate, past U+10FFFF, cut short, a stray continuation byte.
  for (auto [utf8, bytes] : {std::pair{"\u07FF\u0800✓𝄞", "????"},
                             {"\xC0\xAF", "??"},
                             {"\xE0\x9F\xBF", "???"},
                             {"\xED\xA0\x80", "???"},
                             {"\xF4\x90\x80\x80", "????"},
                             {"a\xE2\x82", "a??"},
                             {"\x80", "?"},
                             {"\xC3\xC3\xA9\U0010FFFF", "?\xE9?"}})
    EXPECT_EQ(utf8ToWindows1252(utf8), bytes) << utf8;
}

TEST(NumberWriter, knownAnswersReadBackAndRewriteIdentically) {
  // clang-format off
  const std::vector<std::pair<double, std::string>> rows = {
      {24.5, " 24.5"}, {-0.1, "-0.1"}, {0, " 0"}, {-0.0, " 0"}, {3945, " 3945"},
      {1.0 / 3.0, " 0.333333333333333"}, {-2.0 / 3.0, "-0.666666666666667"},
      {0.000227218319888178, " 0.000227218319888178"}, {1e-5, " 1E-5"}, {-1.5e20, "-1.5E+20"},
      {123456789012345678.0, " 1.23456789012346E+17"}};
  // clang-format on
  for (const auto& [value, text] : rows) EXPECT_EQ(writeNumber(value), text) << value;
  EXPECT_TRUE(shortestNumber(3) == "3" && localeNumber(30.7, ',') == "30,7");
  for (double v : {24.5, -0.1, 2.272183198881781e-4, 1.0 / 7.0, 1e-9, 6.02e23, -4095.0}) {
    const std::string once = writeNumber(v);
    EXPECT_NEAR(readNumber(once), v, std::abs(v) * 1e-14) << once;
    EXPECT_EQ(writeNumber(readNumber(once)), once);
  }
}

TEST(NumberWriter, operatorsLocaleNeverChangesTheDecimalPoint) {
  // The windowing library switches the process to the operator's locale at start-up.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  bool switched = false;
  for (const char* name : {"es_ES.UTF-8", "es_ES.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"})
    switched = switched || std::setlocale(LC_NUMERIC, name);
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double read = readNumber("0.5");
  const std::string written = writeNumber(24.5);
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_TRUE(read == 0.5 && written == " 24.5");
}

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

TEST(SettingsRecords, valueRecordsReadAndRewriteKnownAnswersKeepLineOrderAndRepeatsAndWriteCrLf) {
  // The line as it stands in the file (Windows-1252); midaradi after the load (the state starts at
  // 60 mm); the line after a save, empty when the save must be refused.
  // clang-format off
  const std::vector<std::tuple<std::string, double, std::string>> rows = {
      {"[RADI]=62.5", 62.5, "[RADI]= 62.5"}, {"[RADI]=12mm", 12, "[RADI]= 12"},
      {"[RADI] 24.5", 24.5, "[RADI]= 24.5"},                       // any seventh character separates
      {std::string("[RADI]\xBA") + "24.5", 24.5, "[RADI]= 24.5"},  // even one outside ASCII
      {"   [RADI]=7", 7, "[RADI]= 7"}, {"\"[RADI]=8\"", 8, "[RADI]= 8"},
      {"[radi]=1", 60, "[radi]=1"},  // other letter case: not a tag, kept verbatim
      {"[RADI]=abc", 0, ""}, {"[RADI]", 0, ""}};
  // clang-format on
  for (const auto& [line, midaradi, rewritten] : rows) {
    SCOPED_TRACE(line);
    LoadedSettings s(crlf({"[INIC]", line, "[FINL]"}));
    EXPECT_EQ(s.state.midaradi, midaradi);
    EXPECT_EQ(s.file.guarda_dades(s.state), rewritten.empty() ? SaveResult::Refused : SaveResult::Saved);
    EXPECT_EQ(s.folder.read(), crlf({"[INIC]", rewritten.empty() ? line : rewritten, "[FINL]"}));
  }
  LoadedSettings s(crlf({"[INIC] version 2", "[GPOL]= 0.0002", "; tracer of bench 2", "[COMM]=3",
                         "[PULS]=150", "[PULS]=160", "[FINL]x"}));
  EXPECT_TRUE(s.state.grausperpols == 0.0002 && s.state.comport1.isText());
  EXPECT_EQ(s.state.polsoseix, 160);  // the later record wins
  EXPECT_EQ(s.file.linies_config(), (std::vector<std::string>{"[INIC]", "[GPOL]", "; tracer of bench 2",
                                                              "[COMM]", "[PULS]", "[PULS]", "[FINL]"}));
  s.state.grausperpols = 0.000225, s.state.comport1 = 4;
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(), crlf({"[INIC]", "[GPOL]= 0.000225", "; tracer of bench 2", "[COMM]=4",
                                   "[PULS]= 160", "[PULS]= 160", "[FINL]"}));
  // Other line ends come back as CR LF, and a shorter reload replaces the line table.
  LoadedSettings ends("[INIC]\n[COMM]=3\r; old\r\n\n[FINL]");
  ASSERT_EQ(ends.file.guarda_dades(ends.state), SaveResult::Saved);
  EXPECT_EQ(ends.folder.read(), crlf({"[INIC]", "[COMM]=3", "; old", "", "[FINL]"}));
  ends.folder.write(crlf({"[INIC]", "[FINL]"}));
  ends.file.carrega_dades(ends.state);
  ASSERT_EQ(ends.file.guarda_dades(ends.state), SaveResult::Saved);
  EXPECT_EQ(ends.folder.read(), crlf({"[INIC]", "[FINL]"}));
}

TEST(SettingsRecords, textSettingsStayTextNumbersAreWrittenAsNumbersAndAHandTypedCommaSeparates) {
  LoadedSettings s(crlf({"[FILT]=3", "[VSPA]=5", "[CCEN]=1", "[CCAL]=2.50", "[OFFS]=-0.10", "[CARR]=3945"}));
  EXPECT_TRUE(s.state.filterscope.isText() && s.state.calibra_centre.toText() == "1");
  EXPECT_TRUE(s.state.OffsetMida.isNumber() && s.state.carrera.isNumber());
  s.state.filterscope = 2.5;  // the configuration window stores numbers
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(),
            crlf({"[FILT]=2.5", "[VSPA]=5", "[CCEN]= 1", "[CCAL]= 2.5", "[OFFS]=-0.1", "[CARR]= 3945"}));
  // Edited by hand, a decimal comma is the separator, but a folder keeps its comma.
  LoadedSettings hand(crlf({"[RADI]= 60,5", "[FILT]=2,5", "[OFFS]=-0,1", "[CARR]= 3945,", "[PATH]=C:\\A,5"}));
  EXPECT_TRUE(hand.state.midaradi == 60.5 && hand.state.filterscope.toNumber() == 2.5);
  EXPECT_TRUE(hand.state.OffsetMida.toNumber() == -0.1 && hand.state.lletra.toText() == "C:\\A,5");
  ASSERT_EQ(hand.file.guarda_dades(hand.state), SaveResult::Saved);
  EXPECT_TRUE(startsWith(hand.folder.read(), crlf({"[RADI]= 60.5", "[FILT]=2.5", "[OFFS]=-0.1"})));
}

TEST(SettingsRefusal, anyRequiredSettingAtZeroLeavesTheFileByteIdentical) {
  using S = SharedState;
  // clang-format off
  const std::vector<std::pair<const char*, std::function<void(S&)>>> zeroings = {
      {"grausperpols", [](S& s) { s.grausperpols = 0; }}, {"midaradi", [](S& s) { s.midaradi = 0; }},
      {"polsoseix", [](S& s) { s.polsoseix = 0; }}, {"polsosini", [](S& s) { s.polsosini = 0; }},
      {"radi_central", [](S& s) { s.radi_central = 0; }}, {"obertura_brac", [](S& s) { s.obertura_brac = 0; }},
      {"carrera", [](S& s) { s.carrera = 0; }}, {"filterscope text 0", [](S& s) { s.filterscope = " 0 "; }},
      {"comport1 text 0", [](S& s) { s.comport1 = "0"; }}, {"comport2 never set", [](S& s) { s.comport2 = Dynamic(); }},
      {"lletra text 0", [](S& s) { s.lletra = "0"; }}, {"primera_instalacio 0", [](S& s) { s.primera_instalacio = 0; }},
      {"grausperpols NaN", [](S& s) { s.grausperpols = std::nan(""); }},
      {"OffsetMida infinite", [](S& s) { s.OffsetMida = std::numeric_limits<double>::infinity(); }}};
  // clang-format on
  const std::string original = SettingsFile::defaultFileContent();
  for (const auto& [name, zero] : zeroings) {
    LoadedSettings s(original, SharedState());
    zero(s.state);
    EXPECT_TRUE(s.file.guarda_dades(s.state) == SaveResult::Refused && s.file.lastError().empty()) << name;
    EXPECT_EQ(s.folder.read(), original) << name;
  }
  // Optional settings at zero, and a folder text (not a number, so not zero), still save.
  LoadedSettings s(original, SharedState());
  s.state.angleplus = 0, s.state.calibra_centre = "0", s.state.cicle_calibracio = Dynamic();
  s.state.OffsetMida = 0, s.state.lletra = "/opt/kovrel";
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
}

using testing::ProgramFolder;
using D = DefaultCalibration;

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

TEST(SettingsMissingFile, missingEmptyOrUnwritableFilesGiveTheDefaultAndAJunkFileIsSetAside) {
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
    // Saved back unchanged: the defaults are what was loaded.
    EXPECT_TRUE(state.lletra == folder.text() && file.guarda_dades(state) == SaveResult::Saved);
    EXPECT_EQ(folder.read(), content);
  }
  ProgramFolder folder;
  fs::create_directory(folder.file());  // nothing can be read from or renamed onto it
  SettingsFile file(folder.path());
  SharedState state;
  LoadOutcome outcome = file.carrega_dades(state);
  EXPECT_TRUE(outcome.replacedByDefault);
  EXPECT_TRUE(startsWith(outcome.problem, texts::kSettingsDefaultsNotSaved)) << outcome.problem;
  EXPECT_TRUE(file.lastError() == outcome.problem && state.polsoseix == D::polsoseix);
  EXPECT_TRUE(file.linies_config().size() == 18u && fs::is_directory(folder.file()));
  EXPECT_FALSE(fs::exists(temporaryPathFor(folder.file())));

  // A file without any setting is kept under a dated name before the default replaces it.
  const std::string junk = std::string("\x7f\x01garbage\r\n[XXXX]=1\r\n\xff", 22);
  fs::remove(folder.file());
  folder.write(junk);
  state.comport2 = Dynamic();
  outcome = file.carrega_dades(state);
  EXPECT_TRUE(outcome.replacedByDefault && startsWith(outcome.problem, texts::kSettingsNoSettings));
  EXPECT_TRUE(folder.read() == SettingsFile::defaultFileContent(folder.path()) &&
              state.comport2 == D::comport2);
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(folder.path()))
    if (entry.path() != folder.file()) aside.push_back(entry.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_NE(outcome.problem.find(aside[0].filename().string()), std::string::npos) << outcome.problem;
  EXPECT_EQ(testing::fileBytes(aside[0]), junk);
}

TEST(SettingsAtomicRewrite, aSaveBeforeAnyLoadOrThatCannotCreateTheNewFileKeepsTheOldOne) {
  const std::string original = SettingsFile::defaultFileContent();
  LoadedSettings s{original, SharedState()};
  EXPECT_EQ(SettingsFile(s.folder.path()).guarda_dades(s.state), SaveResult::Refused);  // nothing loaded
  s.state.midaradi = 61;  // a change that must not half-reach the disk
  fs::create_directory(temporaryPathFor(s.folder.file()));
  EXPECT_EQ(s.file.guarda_dades(s.state), SaveResult::Failed);
  EXPECT_TRUE(startsWith(s.file.lastError(), texts::kSettingsNotSaved)) << s.file.lastError();
  EXPECT_EQ(s.folder.read(), original);
}

// Where trac_conf.cfg lives: beside the program when its folder takes files, otherwise in the
// machine's shared folder or the user's own, filled from the machine's default file (or the
// user's earlier one) on the first start and left alone after.

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
  fs::permissions(etc.file(),
                  fs::perms::owner_read | fs::perms::others_read);  // as a package leaves it
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
