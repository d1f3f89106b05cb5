// The archive's trace files: a lab's of any count, and the archive's own, which a lab's reader
// reads as a plain trace and Kovrel reads back as the very read it kept. The archive on disk:
// month folders, names that never take another job's file, the listing and its index cache,
// unreadable files.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "archive/archive_store.h"
#include "archive/kept_read.h"
#include "archive_rig.h"
#include "file_bytes.h"
#include "geometry/foreign_trace.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;
namespace tk = toolkit;
using testing::Archive;

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

TEST(ArchiveStore, readsAreKeptByMonthUnderNamesThatSortByDateAndNeverTakeAnotherReadsFile) {
  Archive a;
  const ArchiveWrite first = a.keep("42", {2026, 12, 7, 14, 30, 12});
  ASSERT_TRUE(first.ok) << first.message;
  EXPECT_EQ(first.path, a.store.root() / "2026-12" / "20261207-143012-J0042.vca");
  // The same second and job again (a clock put back, two tracers): a file of its own.
  const ArchiveWrite again = a.keep("42", {2026, 12, 7, 14, 30, 12});
  ASSERT_TRUE(again.ok);
  EXPECT_EQ(again.path.filename(), "20261207-143012-J0042-2.vca");
  EXPECT_EQ(testing::fileBytes(first.path), testing::fileBytes(again.path));

  // An update of a file that now holds another job is refused; the file stays as it was.
  KeptRead other = keptReadOf(a.read, 0, 3, a.now);
  other.job = "77";
  const std::string before = testing::fileBytes(first.path);
  EXPECT_FALSE(a.store.update(first.path, other).ok);
  EXPECT_EQ(testing::fileBytes(first.path), before);  // the same job's update: the index's test
}

TEST(ArchiveStore, theListIsNewestFirstFiltersShowsUnreadableFilesWithTheirReasonAndItsIndexIsOnlyACache) {
  Archive a;
  a.keep("1042", {2026, 11, 30, 9, 0, 0}), a.keep("2042", {2026, 12, 1, 9, 0, 0});
  a.keep("3001", {2026, 12, 7, 8, 0, 0}), a.keep("4042", {2026, 12, 7, 9, 0, 0});
  const fs::path month = a.store.root() / "2026-12";
  std::ofstream(month / "20261201-100000-J0009.vca") << "no soy un trazado";
  std::ofstream(month / "notas.txt") << "not listed";
  const std::string kept = testing::fileBytes(month / "20261207-090000-J4042.vca");
  std::ofstream(month / "20261207-100000-J0010.vca") << kept.substr(0, kept.size() / 2);  // cut short

  EXPECT_EQ(a.jobs(), (std::vector<std::string>{"?", "4042", "3001", "?", "2042", "1042"}));
  const ArchivePage page = a.store.list({}, 0, 6);
  EXPECT_NE(page.entries[0].reason.find("incompleto"), std::string::npos);
  EXPECT_NE(page.entries[3].reason.find("ningún trazado"), std::string::npos);
  EXPECT_FALSE(page.more);
  const ShapeSizes sizes = keptReadOf(a.read, 0, 3, {}).sizes;
  EXPECT_TRUE(std::abs(page.entries[1].a - sizes.a) < 0.005 && std::abs(page.entries[1].b - sizes.b) < 0.005);
  EXPECT_EQ(page.entries[1].outline.size(), static_cast<std::size_t>(kOutlineRadii));

  const std::pair<ArchiveFilter, std::vector<std::string>> filters[] = {
      {{"042", "", ""}, {"?", "4042", "2042", "1042"}},  // the file cut short still names its job
      {{"", "20261201", "20261206"}, {"?", "2042"}},
      {{"42", "", "20261130"}, {"1042"}},
      {{"9", "", ""}, {}},
  };
  for (const auto& [filter, expected] : filters) EXPECT_EQ(a.jobs(filter), expected) << filter.jobDigits;
  EXPECT_EQ(a.jobs({}, 1, 2), (std::vector<std::string>{"4042", "3001"}));
  EXPECT_TRUE(a.store.list({}, 1, 2).more);

  // The index is a cache: through it or from the files the list shows the same, every field (the
  // sizes to the hundredth), when it is missing, broken, stale or trusted whole.
  const auto shown = [](ArchiveStore& store) {
    std::vector<std::string> rows;
    for (const ArchiveEntry& e : store.list({}, 0, 10).entries) {
      rows.push_back(e.job + ' ' + wallTimeText(e.time) + ' ' + std::to_string(std::lround(e.a * 100)) + 'x' +
                     std::to_string(std::lround(e.b * 100)) + ' ' + std::to_string(e.sends) + e.lastOutcome +
                     e.reason + (e.readable ? "" : "!") + e.path.filename().string());
      for (int r : e.outline) rows.back() += ' ' + std::to_string(r);
    }
    return rows;
  };
  const auto listed = [&] {
    ArchiveStore fresh(a.store.root(), [&] { return a.now; });
    auto rows = shown(fresh);
    fresh.saveIndex();
    return rows;
  };
  const auto fromFiles = shown(a.store);  // listed before any index: the store keeps these in memory
  listed();
  EXPECT_EQ(listed(), fromFiles);
  const fs::path index = a.store.root() / ".indice" / "2026-11.idx";
  ASSERT_TRUE(fs::exists(index));
  // A month whose folder changed is looked at again, and a file rewritten within its clock's
  // resolution (its time the same, its size not) is read again.
  a.keep("5", {2026, 11, 2, 9, 0, 0});
  KeptRead sent = keptReadOf(a.read, 0, 3, {});
  sent.job = "2042", sent.sends.push_back({a.now, "Envio >OK< "});
  const fs::path two = month / "20261201-090000-J2042.vca";
  const auto time = fs::last_write_time(two);
  // Its own update is seen in a month kept in memory and settled (whose folder's time then looks
  // the same, as a coarse clock shows it).
  std::error_code unsettable;  // Windows' C++ library cannot set a folder's time: there this step is skipped
  const auto settled = fs::file_time_type::clock::now() - std::chrono::hours(1);
  fs::last_write_time(month, settled, unsettable), shown(a.store);
  ASSERT_TRUE(a.store.update(two, sent).ok);
  fs::last_write_time(two, time), fs::last_write_time(month, settled, unsettable);
  const auto rewritten = listed();
  EXPECT_EQ(rewritten, shown(a.store));
  // One whose time and size did not change is not read again.
  const std::string bytes = testing::fileBytes(two);
  std::ofstream(two, std::ios::binary) << std::string(bytes).replace(bytes.find("JOB=2042"), 8, "JOB=9042");
  fs::last_write_time(two, time);
  EXPECT_EQ(listed(), rewritten);
  std::ofstream(two, std::ios::binary) << bytes;
  fs::last_write_time(two, time);
  for (const char* settled : {"2026-11", "2026-12"})
    fs::last_write_time(a.store.root() / settled, fs::file_time_type::clock::now() - std::chrono::hours(1),
                        unsettable);
  listed();
  EXPECT_EQ(listed(), shown(a.store));
  std::ofstream(index) << "KOVREL-INDICE 1\nbasura\n\t\t\n";
  EXPECT_EQ(listed(), shown(a.store));
  fs::remove_all(a.store.root() / ".indice");
  EXPECT_EQ(listed(), shown(a.store));
}

}  // namespace
}  // namespace kovrel
