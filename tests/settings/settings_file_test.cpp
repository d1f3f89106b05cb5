#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "program_folder.h"
#include "settings/number_text.h"

namespace kovrel {
namespace {

using testing::crlf;
using testing::LoadedSettings;

// ---- Numbers as the file holds them, whatever the operator's locale

TEST(NumberReader, knownAnswers) {
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
  EXPECT_FALSE(parseLocaleNumber("0,15mm", ',', typed));
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

// ---- Reading records

TEST(SettingsRecords, valueRecordsReadAndRewriteKnownAnswers) {
  struct Row {
    std::string line;       // as it stands in the file (Windows-1252)
    double midaradi;        // after the load; the state starts at 60 mm
    std::string rewritten;  // the line after a save; empty when the save must be refused
  };
  const std::vector<Row> rows = {
      {"[RADI]=62.5", 62.5, "[RADI]= 62.5"},
      {"[RADI]=3.5E2", 350, "[RADI]= 350"},
      {"[RADI]=12mm", 12, "[RADI]= 12"},
      {"[RADI] 24.5", 24.5, "[RADI]= 24.5"},                       // any seventh character separates
      {std::string("[RADI]\xBA") + "24.5", 24.5, "[RADI]= 24.5"},  // even one outside ASCII
      {"   [RADI]=7", 7, "[RADI]= 7"},
      {"\"[RADI]=8\"", 8, "[RADI]= 8"},
      {"[radi]=1", 60, "[radi]=1"},  // other letter case: not a tag, kept verbatim
      {"[RADI]=abc", 0, ""},
      {"[RADI]", 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    LoadedSettings s(crlf({"[INIC]", row.line, "[FINL]"}));
    EXPECT_EQ(s.state.midaradi, row.midaradi);
    const bool refused = row.rewritten.empty();
    EXPECT_EQ(s.file.guarda_dades(s.state), refused ? SaveResult::Refused : SaveResult::Saved);
    EXPECT_EQ(s.folder.read(), crlf({"[INIC]", refused ? row.line : row.rewritten, "[FINL]"}));
  }
}

TEST(SettingsRecords, rewriteKeepsLineOrderAndPutsTheCurrentValuesBehindEveryRepeatOfATag) {
  LoadedSettings s(crlf({"[INIC] version 2", "[GPOL]= 0.0002", "; tracer of bench 2", "[COMM]=3",
                         "[PULS]=150", "[PULS]=160", "[FINL]x"}));
  EXPECT_TRUE(s.state.grausperpols == 0.0002 && s.state.comport1.isText());
  EXPECT_EQ(s.state.polsoseix, 160);  // the later record wins
  EXPECT_EQ(s.file.linies_config(), (std::vector<std::string>{"[INIC]", "[GPOL]", "; tracer of bench 2",
                                                              "[COMM]", "[PULS]", "[PULS]", "[FINL]"}));
  s.state.grausperpols = 0.000225;
  s.state.comport1 = 4;
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(), crlf({"[INIC]", "[GPOL]= 0.000225", "; tracer of bench 2", "[COMM]=4",
                                   "[PULS]= 160", "[PULS]= 160", "[FINL]"}));
}

TEST(SettingsRecords, textSettingsStayTextAndNumberSettingsAreWrittenAsNumbers) {
  LoadedSettings s(crlf({"[FILT]=3", "[VSPA]=5", "[CCEN]=1", "[CCAL]=2.50", "[OFFS]=-0.10", "[CARR]=3945"}));
  EXPECT_TRUE(s.state.filterscope.isText() && s.state.calibra_centre.toText() == "1");
  EXPECT_TRUE(s.state.OffsetMida.isNumber() && s.state.carrera.isNumber());
  s.state.filterscope = 2.5;  // the configuration window stores numbers
  ASSERT_EQ(s.file.guarda_dades(s.state), SaveResult::Saved);
  EXPECT_EQ(s.folder.read(),
            crlf({"[FILT]=2.5", "[VSPA]=5", "[CCEN]= 1", "[CCAL]= 2.5", "[OFFS]=-0.1", "[CARR]= 3945"}));
}

// ---- Refusal

TEST(SettingsRefusal, anyRequiredSettingAtZeroLeavesTheFileByteIdentical) {
  const std::vector<std::pair<const char*, std::function<void(SharedState&)>>> zeroings = {
      {"grausperpols", [](SharedState& s) { s.grausperpols = 0; }},
      {"midaradi", [](SharedState& s) { s.midaradi = 0; }},
      {"polsoseix", [](SharedState& s) { s.polsoseix = 0; }},
      {"polsosini", [](SharedState& s) { s.polsosini = 0; }},
      {"radi_central", [](SharedState& s) { s.radi_central = 0; }},
      {"obertura_brac", [](SharedState& s) { s.obertura_brac = 0; }},
      {"carrera", [](SharedState& s) { s.carrera = 0; }},
      {"filterscope text 0", [](SharedState& s) { s.filterscope = " 0 "; }},
      {"comport1 text 0", [](SharedState& s) { s.comport1 = "0"; }},
      {"comport2 never set", [](SharedState& s) { s.comport2 = Dynamic(); }},
      {"lletra text 0", [](SharedState& s) { s.lletra = "0"; }},
      {"primera_instalacio 0", [](SharedState& s) { s.primera_instalacio = 0; }},
      {"grausperpols NaN", [](SharedState& s) { s.grausperpols = std::nan(""); }},
      {"OffsetMida infinite", [](SharedState& s) { s.OffsetMida = std::numeric_limits<double>::infinity(); }},
  };
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

}  // namespace
}  // namespace kovrel
