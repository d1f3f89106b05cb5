// Trace files: a lab's of any count, and the archive's own, which a lab's reader reads as a plain
// trace and Kovrel reads back as the very read it kept.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "archive/kept_read.h"
#include "archive_rig.h"
#include "geometry/foreign_trace.h"

namespace kovrel {
namespace {

namespace tk = toolkit;

std::string radiiRecords(int count, int radius) { return writeOmaTrace(std::vector<int>(count, radius)); }

TEST(TraceFile, labFilesOfAnyCountAreReadAndWhatCannotBeUsedOursCutShortEditedOrNewerIncludedSaysWhy) {
  for (const int count : {360, 400, 1000}) {
    OmaTrace trace;
    ASSERT_TRUE(readOmaTrace("JOB=7\r\nHBOX=50.00;50.00\r\n" + radiiRecords(count, 2500), trace, nullptr));
    EXPECT_EQ(trace.radii.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(trace.hbox, 50.0);
  }
  // A frame's file: the first trace, the boxes of its side, blanks and tabs around the values.
  OmaTrace frame;
  ASSERT_TRUE(
      readOmaTrace("JOB=1\nHBOX=51.00;49.5 \nVBOX= 30;28\r\nTRCFMT=1;4;E;L;F\nR=100; 200 ;+300\t\n"
                   "R=400\nTRCFMT=1;2;E;R;F\nR=1;2\n",
                   frame, nullptr));
  EXPECT_TRUE(frame.radii == (std::vector<int>{100, 200, 300, 400}) && frame.side == "L" &&
              *frame.hbox == 49.5 && *frame.vbox == 28);
  const std::string huge = "TRCFMT=1;400;E;R;D\r\n" + std::string(kMaxTraceFileBytes, 'x');
  // Kovrel's own file cut short, edited by hand or from a newer Kovrel.
  const std::string file =
      writeKeptRead(keptReadOf(testing::capturedRead(tk::ellipse(24, 16), 7), 0, 3, {2026, 1, 2, 3, 4, 5}));
  const auto samples = file.find("_MUESTRAS=");
  std::string edited = file, newer = file, lab = file;
  edited.replace(samples + 10, 1, "x");
  newer.replace(newer.find("_KOVREL=1"), 9, "_KOVREL=2");
  const std::pair<std::string, const char*> refused[] = {
      {"JOB=7\r\nHBOX=50\r\n", "no contiene ningún trazado"},
      {"TRCFMT=2;400;E;R;D\r\nR=AAAA\r\n", "formato 2"},
      {"TRCFMT=1;400;U;R;D\r\n", "pasos de ángulo iguales"},
      {"TRCFMT=1;99999999;E;R;D\r\n", "número de radios no válido"},
      {"TRCFMT=1;2;E;R\n", "número de radios no válido"},  // an outline needs 3
      {"TRCFMT=1;400\r\n", "incompleto"},
      {"TRCFMT=1;400;E;X;D\r\n", "lado desconocido"},
      {radiiRecords(399, 2500).replace(9, 3, "400"), "anuncia 400 radios y contiene 399"},
      {radiiRecords(401, 2500).replace(9, 3, "400"), "anuncia 400 radios y contiene más"},
      {"TRCFMT=1;3;E;R;D\r\nR=2500;-4;2500\r\n", "radio no válido"},
      {"TRCFMT=1;3;E;R;D\r\nR=2500;25x0;2500\r\n", "radio no válido"},
      {std::string("\0\xff\r\n=\n==;;", 10), "no contiene ningún trazado"},
      {huge, "demasiado grande"},
      {file.substr(0, samples + 4000), "incompleto"},      // cut in the samples
      {file.substr(0, file.find("_FIN=")), "incompleto"},  // cut before the last record
      {edited, "incompleto o modificado"},
      {newer, "versión más nueva de Kovrel"},
      {file.substr(0, file.find("R=") + 30), "anuncia 800 radios"},
  };
  for (const auto& [text, reason] : refused) {
    const TraceFileContent content = parseTraceFile(text);
    EXPECT_FALSE(content.usable || content.kept);
    EXPECT_NE(content.reason.find(reason), std::string::npos) << content.reason;
  }
  // Without Kovrel's version record the rest is a vendor's data: a lab's trace, its radii the shape.
  lab.erase(lab.find("_KOVREL=1\r\n"), 11);
  const TraceFileContent plain = parseTraceFile(lab);
  EXPECT_TRUE(plain.usable && !plain.kept);
}

TEST(TraceFile, aKeptReadIsAPlainTraceToALabAndComesBackAsTheSameReadWithItsChoicesAndSends) {
  SharedState state = testing::capturedRead(tk::offCentre(tk::superellipse(26, 17, 6), 3, -2), 42);
  state.signe_x = -1, state.gir_acumulat = 0.37, state.tipoMontura = 1, state.normalOaire = 0.2;
  KeptRead kept = keptReadOf(state, -0.15, 3, {2026, 12, 7, 14, 30, 12});
  kept.sends = {{{2026, 12, 7, 14, 31, 0}, "Envio >OK< "},
                {{2026, 12, 7, 14, 32, 5}, "Error de comunicación\r\n"}};
  const std::string file = writeKeptRead(kept);

  // A lab's reader: 800 radii as sent, the boxed sizes, the job.
  OmaTrace lab;
  ASSERT_TRUE(readOmaTrace(file, lab, nullptr));
  EXPECT_EQ(lab.radii, kept.radii);
  ASSERT_EQ(lab.radii.size(), 800u);
  EXPECT_NEAR(*lab.hbox, kept.sizes.a, 0.005);
  EXPECT_NEAR(*lab.vbox, kept.sizes.b, 0.005);
  EXPECT_NE(file.find("JOB=42\r\n"), std::string::npos);

  // Kovrel: the same read, the same choices, the sends on one line each.
  const TraceFileContent content = parseTraceFile(file);
  ASSERT_TRUE(content.usable && content.kept) << content.reason;
  const KeptRead& back = *content.kept;
  EXPECT_EQ(back.choices, kept.choices);
  EXPECT_TRUE(back.read.samples == kept.read.samples && back.read.header == kept.read.header &&
              back.read.serial_number == "0042" && back.time == kept.time);
  EXPECT_EQ(back.sends.back().outcome, "Error de comunicación  ");
  for (const char* never : {"2026-00-07 14:30:12", "2026-12-00 14:30:12", "2026-12-07 24:30:12"})
    EXPECT_FALSE(parseWallTime(never)) << never;
  EXPECT_EQ(content.sends, 2);

  // Rebuilt into a program that has read something else since: the working trace point for point,
  // and the preparation the same radii.
  SharedState later = testing::capturedRead(tk::circle(20), 43, -2.5e-6);
  ASSERT_TRUE(restoreKeptRead(back, later));
  EXPECT_TRUE(later.forma_treball == state.forma_treball && later.signe_x == state.signe_x &&
              later.signe_y == state.signe_y && later.gir_acumulat == state.gir_acumulat);
  EXPECT_EQ(keptReadOf(later, back.choices.manualOffsetMm, 3, {}).radii, kept.radii);
}

TEST(ForeignTrace, aLabsRadiiBecomeAWorkingTraceOfTheSameOutlineWhateverTheirCount) {
  for (const int count : {360, 1000, 4095}) {  // 4095: one radius a row, each as given
    std::vector<int> radii;
    for (int i = 0; i < count; ++i) {
      const double a = 2 * std::numbers::pi * i / count;
      radii.push_back(static_cast<int>(std::lround(100 * tk::ellipse(25, 15)(a))));
    }
    const TraceTable trace = workingTraceFromRadii(radii);
    for (int n = 1; n <= 4095; n += 7) {
      ASSERT_NEAR(trace.radius(n), tk::ellipse(25, 15)(trace.angle(n)), 0.02) << count << " " << n;
      ASSERT_TRUE(count != 4095 || std::abs(trace.radius(n) - radii[std::size_t(n - 1)] / 100.0) < 1e-9) << n;
      ASSERT_LT(trace.angle(n), 2 * std::numbers::pi);
    }
    const ShapeSizes sizes = measureShape(std::vector<double>(radii.begin(), radii.end()));
    EXPECT_NEAR(sizes.a, 50, 0.01);
    EXPECT_NEAR(sizes.b, 30, 0.01);
  }
}

}  // namespace
}  // namespace kovrel
