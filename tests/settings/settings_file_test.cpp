#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "program_folder.h"

namespace kovrel {
namespace {

using testing::calibratedState;
using testing::crlf;
using testing::ProgramFolder;

// ---- Reading records --------------------------------------------------------------------------

struct RecordCase {
  std::string line;       // as it stands in the file (Windows-1252)
  double midaradi;        // after the load; the state starts at 60 mm
  std::string rewritten;  // the line after a save; empty when the save must be refused
};

TEST(SettingsRecords, valueRecordsReadAndRewriteKnownAnswers) {
  const std::vector<RecordCase> cases = {
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
  for (const auto& c : cases) {
    ProgramFolder folder;
    folder.write(crlf({"[INIC]", c.line, "[FINL]"}));
    SettingsFile file(folder.path());
    SharedState state = calibratedState();
    file.carrega_dades(state);
    EXPECT_EQ(state.midaradi, c.midaradi) << c.line;
    if (c.rewritten.empty()) {
      EXPECT_EQ(file.guarda_dades(state), SaveResult::Refused) << c.line;
      EXPECT_EQ(folder.read(), crlf({"[INIC]", c.line, "[FINL]"})) << c.line;
    } else {
      EXPECT_EQ(file.guarda_dades(state), SaveResult::Saved) << c.line;
      EXPECT_EQ(folder.read(), crlf({"[INIC]", c.rewritten, "[FINL]"})) << c.line;
    }
  }
}

TEST(SettingsRecords, rewriteKeepsLineOrderAndPutsTheCurrentValues) {
  ProgramFolder folder;
  folder.write(crlf({"[INIC] version 2", "[GPOL]= 0.0002", "; tracer of bench 2", "[COMM]=3", "[FINL]x"}));
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  EXPECT_EQ(state.grausperpols, 0.0002);
  EXPECT_TRUE(state.comport1.isText());
  EXPECT_EQ(file.linies_config(),
            (std::vector<std::string>{"[INIC]", "[GPOL]", "; tracer of bench 2", "[COMM]", "[FINL]"}));

  state.grausperpols = 0.000225;
  state.comport1 = 4;
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(folder.read(), crlf({"[INIC]", "[GPOL]= 0.000225", "; tracer of bench 2", "[COMM]=4", "[FINL]"}));
}

TEST(SettingsRecords, textSettingsStayTextAndNumberSettingsAreWrittenAsNumbers) {
  ProgramFolder folder;
  folder.write(crlf({"[FILT]=3", "[VSPA]=5", "[CCEN]=1", "[CCAL]=2.50", "[OFFS]=-0.10", "[CARR]=3945"}));
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  EXPECT_TRUE(state.filterscope.isText());
  EXPECT_EQ(state.calibra_centre.toText(), "1");
  EXPECT_TRUE(state.OffsetMida.isNumber());
  EXPECT_TRUE(state.carrera.isNumber());

  state.filterscope = 2.5;  // the configuration window stores numbers
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(folder.read(),
            crlf({"[FILT]=2.5", "[VSPA]=5", "[CCEN]= 1", "[CCAL]= 2.5", "[OFFS]=-0.1", "[CARR]= 3945"}));
}

TEST(SettingsRecords, repeatedTagSetsTwiceLaterWinsAndBothLinesStay) {
  ProgramFolder folder;
  folder.write(crlf({"[PULS]=150", "[PULS]=160"}));
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  EXPECT_EQ(state.polsoseix, 160);
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(folder.read(), crlf({"[PULS]= 160", "[PULS]= 160"}));
}

TEST(SettingsRecords, storedFolderHoldsUntilTheWriterPutsTheRunningOne) {
  ProgramFolder folder;
  folder.write(crlf({"[INIC]"}));
  SettingsFile file(folder.path());
  SharedState state = calibratedState();
  file.carrega_dades(state);
  EXPECT_EQ(state.lletra, folder.text());  // no [PATH]: the running folder
  folder.write(crlf({"[PATH]=C:\\Archivos de programa\\Kovrel"}));
  file.carrega_dades(state);
  EXPECT_EQ(state.lletra, "C:\\Archivos de programa\\Kovrel");
  ASSERT_EQ(file.guarda_dades(state), SaveResult::Saved);
  EXPECT_EQ(state.lletra, folder.text());
  EXPECT_EQ(folder.read(), crlf({"[PATH]=" + folder.text()}));
}

TEST(SettingsRecords, installStateOneAsksForPortSetup) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"[INST]=1", true}, {"[INST]= 1.0", true}, {"[INST]=10", false}, {"[INST]=", false}, {"[INIC]", false}};
  for (const auto& [line, pending] : cases) {
    ProgramFolder folder;
    folder.write(crlf({line}));
    SharedState state;
    EXPECT_EQ(SettingsFile(folder.path()).carrega_dades(state).portSetupPending, pending) << line;
  }
}

// ---- Refusal ----------------------------------------------------------------------------------

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
    ProgramFolder folder;
    folder.write(original);
    SettingsFile file(folder.path());
    SharedState state;
    file.carrega_dades(state);
    zero(state);
    EXPECT_EQ(file.guarda_dades(state), SaveResult::Refused) << name;
    EXPECT_TRUE(file.lastError().empty()) << name;
    EXPECT_EQ(folder.read(), original) << name;
  }
}

TEST(SettingsRefusal, optionalSettingsAtZeroAndAFolderTextStillSave) {
  ProgramFolder folder;
  folder.write(SettingsFile::defaultFileContent());
  SettingsFile file(folder.path());
  SharedState state;
  file.carrega_dades(state);
  state.angleplus = 0;
  state.calibra_centre = "0";
  state.cicle_calibracio = Dynamic();
  state.OffsetMida = 0;
  state.lletra = "/opt/kovrel";  // a path is not a number, so not zero
  EXPECT_EQ(file.guarda_dades(state), SaveResult::Saved);
}

}  // namespace
}  // namespace kovrel
