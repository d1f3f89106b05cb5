// The history's list, filters and buttons on an in-memory window; kept reads and other labs'
// trace files standing on the plot of the program without its window, and what ENVIAR then sends.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/texts.h"
#include "common/tracer_stream.h"
#include "geometry/shape_sizes.h"
#include "headless_program.h"
#include "history/historial.h"
#include "history/shape_loading.h"
#include "program_folder.h"

namespace kovrel {
namespace {

class FakeHistoryView : public HistoryView {
 public:
  void rowsChanged(int count) override { rows = count, current = -1; }
  void rowsAdded(int first, int count) override { rows = first + count; }
  int currentRow() const override { return current; }
  void setCurrentRow(int row) override { current = row; }
  std::string jobFilter() const override { return job; }
  std::optional<Day> dateFilter() const override { return day; }
  void setStatus(std::string_view text) override { status = text; }
  void setSaveEnabled(bool on) override { saveEnabled = on; }
  void open() override { opened = true; }
  void close() override { opened = false; }
  bool isOpen() const override { return opened; }
  std::optional<std::filesystem::path> askOpenFile() override { return ++dialogs, openAnswer; }
  std::optional<std::filesystem::path> askSaveFile(const std::filesystem::path& suggested) override {
    return ++dialogs, suggestedName = suggested, saveAnswer;
  }
  void messageBox(std::string_view text, std::string_view) override { messages.emplace_back(text); }
  char decimalSeparator() const override { return ','; }

  int rows = 0, current = -1, dialogs = 0;
  std::string job, status;
  std::optional<Day> day;
  bool saveEnabled = false, opened = false;
  std::optional<std::filesystem::path> openAnswer, saveAnswer;
  std::filesystem::path suggestedName;
  std::vector<std::string> messages;
};

ArchiveEntry entry(std::string job, int day, int sends = 0, bool readable = true) {
  ArchiveEntry e;
  e.path = "2026-12/" + job + ".vca", e.time = {2026, 12, day, 9, 5, 0}, e.job = std::move(job);
  e.a = 52.346, e.b = 38.1, e.sends = sends, e.lastOutcome = "Envio >OK< ";
  e.readable = readable, e.reason = readable ? "" : "TRCFMT=2 no es un trazado de radios";
  return e;
}

class HistorialTest : public ::testing::Test {
 protected:
  FakeHistoryView view;
  std::vector<ArchiveFilter> asked;
  std::vector<std::size_t> firsts;
  std::size_t kept = 3;  // entries the archive holds for each filter
  std::vector<std::filesystem::path> loaded, saved;
  std::string loadProblem, saveProblem;
  bool shape = false;
  Historial history{view,
                    {[this](const ArchiveFilter& f, std::size_t first, std::size_t count) {
                       asked.push_back(f), firsts.push_back(first);
                       ArchivePage page;
                       for (std::size_t i = first; i < kept && page.entries.size() < count; ++i)
                         page.entries.push_back(entry(std::to_string(i), 7, 0, i != 1));
                       page.more = first + page.entries.size() < kept;
                       return page;
                     },
                     [this](const std::filesystem::path& p) { return loaded.push_back(p), loadProblem; },
                     [this](const std::filesystem::path& p) { return saved.push_back(p), saveProblem; },
                     [this] { return shape; }, [] { return std::filesystem::path("Rev.[1234].vca"); }}};
};

TEST_F(HistorialTest, theArchiveIsAskedAPageAtATimeWithTheJobDigitsTypedAndTheDay) {
  // Typed, the day ticked, entries kept; the digits and the day asked; the rows and status shown.
  using MaybeDay = std::optional<Day>;
  const std::tuple<std::string, MaybeDay, std::size_t, std::string, std::string, int, std::string> rows[] = {
      {"", {}, 3, "", "", 3, "3 lecturas"},
      {"1 x2", {}, 1, "12", "", 1, "1 lectura"},  // only the digits count
      {"", Day{2026, 3, 9}, 0, "", "20260309", 0, "0 lecturas"},
      {"", {}, 3, "", "", 3, "3 lecturas"},  // the day unticked: no day asked any more
      {"7", Day{2026, 12, 7}, 450, "7", "20261207", 200, "Más de 200 lecturas"},
  };
  history.open();
  EXPECT_TRUE(view.opened && view.rows == 3 && view.current == 0);
  for (const auto& [typed, day, held, digits, fromDay, shown, status] : rows) {
    view.job = typed, view.day = day, kept = held, view.onAction(HistoryAction::Filter);
    EXPECT_EQ(std::tie(asked.back().jobDigits, asked.back().fromDay, asked.back().toDay),
              std::tie(digits, fromDay, fromDay));
    EXPECT_EQ(std::tie(firsts.back(), view.rows, view.status), std::tie(firsts.front(), shown, status));
  }
  // Scrolled to the end: the next pages, with the same filter, until the archive has no more.
  for (int page = 0; page < 3; ++page) history.fetchMore();  // the third finds nothing to ask
  EXPECT_FALSE(history.canFetchMore());
  EXPECT_EQ(firsts, (std::vector<std::size_t>{0, 0, 0, 0, 0, 0, 200, 400}));
  EXPECT_EQ(std::tie(view.rows, view.status, history.row(449).job),
            std::make_tuple(450, std::string("450 lecturas"), std::string("449")));
  EXPECT_EQ(asked.back().jobDigits, "7");
}

TEST_F(HistorialTest, aRowSaysWhenJobSizeInTheLocalesFormAndTheSendOrWhyTheFileIsUnusable) {
  // The entry, the locale's decimal separator; when, job, size and send, joined by "|".
  const std::tuple<ArchiveEntry, char, std::string> rows[] = {
      {entry("345", 7), ',', "07/12/2026 09:05|345|52,35 × 38,10 mm|No enviado"},
      {entry("1234", 7, 2), '.', "07/12/2026 09:05|1234|52.35 × 38.10 mm|Enviado (2): Envio >OK< "},
      {entry("12", 6, 0, false), ',', "06/12/2026 09:05|12||Ilegible: TRCFMT=2 no es un trazado de radios"},
  };
  for (const auto& [e, separator, texts] : rows) {
    const HistoryRowTexts t = Historial::textsOf(e, separator);
    EXPECT_EQ(t.when + "|" + t.job + "|" + t.size + "|" + t.sent, texts);
  }
}

TEST_F(HistorialTest, loadingOpeningAndSavingGoThroughTheHooksAndAFileThatCannotBeUsedIsNamedWithItsReason) {
  history.open();
  EXPECT_FALSE(view.saveEnabled);
  view.onAction(HistoryAction::GuardarComo);  // no shape on the plot: nothing to save
  EXPECT_EQ(view.dialogs, 0);

  view.current = 1;  // the unreadable file: told, never loaded
  view.onAction(HistoryAction::Cargar);
  ASSERT_EQ(view.messages, std::vector<std::string>{
                               "No se puede usar el archivo 1.vca: TRCFMT=2 no es un trazado de radios"});
  EXPECT_TRUE(loaded.empty() && view.opened);

  loadProblem = "el archivo está vacío", view.current = 2;
  view.onAction(HistoryAction::Cargar);
  EXPECT_EQ(view.messages.back(), "No se puede usar el archivo 2.vca: el archivo está vacío");
  EXPECT_TRUE(view.opened);

  loadProblem.clear();
  view.onAction(HistoryAction::Abrir);  // cancelled
  EXPECT_EQ(loaded.size(), 1u);
  view.openAnswer = "/lab/otro.vca", view.onAction(HistoryAction::Abrir);
  EXPECT_EQ(loaded, (std::vector<std::filesystem::path>{"2026-12/2.vca", "/lab/otro.vca"}));
  EXPECT_FALSE(view.opened) << "the loaded shape stands on the main window";

  shape = true, view.saveAnswer = "/lab/guardada.vca", saveProblem = "disco lleno";
  history.open();
  EXPECT_TRUE(view.saveEnabled);
  view.onAction(HistoryAction::GuardarComo);
  EXPECT_EQ(view.suggestedName, "Rev.[1234].vca");
  EXPECT_EQ(saved, std::vector<std::filesystem::path>{"/lab/guardada.vca"});
  EXPECT_EQ(view.messages.back(), "No se ha podido guardar guardada.vca: disco lleno");
  saveProblem.clear(), view.onAction(HistoryAction::GuardarComo);
  EXPECT_EQ(view.status, "Guardado en guardada.vca");
  view.onAction(HistoryAction::Cerrar);
  EXPECT_FALSE(view.opened);
}

// --- On the plot, then ENVIAR ------------------------------------------------------------------

TEST(KeptReadOnThePlot, aKeptReadStandsAsAFreshOneAndEnviarSendsByteForByteWhatItSentTheFirstTime) {
  // Mirrored, turned by steps, the lens type, the manual offset (none: the automatic one).
  const std::tuple<bool, int, LensType, std::optional<double>> rows[] = {
      {false, 0, LensType::Same, {}},
      {true, 37, LensType::Larger, {}},
      {true, -500, LensType::Smaller, 0.15},
      {false, 1, LensType::Same, -0.3}};
  using namespace toolkit;
  const auto stream =
      buildStream(offCentre(superellipse(26, 17, 3.2), 1.5, -0.8), TracerCalibration{}, 0, 4321);
  testing::ProgramFolder folder;
  for (const auto& [mirror, turnSteps, lens, manualMm] : rows) {
    cli::HeadlessProgram first(3.0, 0.05);
    oma::Bytes sent, again;
    ASSERT_TRUE(first.read(stream));
    const KeptRead keptAtItsEnd = keptReadOf(first.state(), 0.0, 3.0, {2026, 12, 7, 9, 5, 0});
    if (mirror) first.mirror();
    first.turn(turnSteps);
    ASSERT_TRUE(first.send(lens, !manualMm, manualMm, sent));

    cli::HeadlessProgram later(3.0, 0.05);
    ASSERT_TRUE(later.read(stream));  // a read of another day stands on the plot first
    later.turn(3);
    // Through the archive's file, as "Cargar" reads it.
    const KeptRead kept = keptReadOf(first.state(), manualMm.value_or(0.0), 3.0, {2026, 12, 7, 9, 5, 0});
    ASSERT_EQ(later.load(parseTraceFile(writeKeptRead(kept))), "");
    // "Guardar como" writes the read as kept with what was done to it since: a lab's reader sees that.
    const auto file = folder.path() / "guardada.vca";
    ASSERT_EQ(saveShapeFile(file, first.state(), keptAtItsEnd, manualMm.value_or(0.0), 3.0, {}), "");
    EXPECT_EQ(readShapeFile(file).trace.radii, kept.radii);
    EXPECT_EQ(later.message(), texts::kReadFinished);
    EXPECT_EQ(later.state().tipoMontura.toNumber(), 0) << "the lens type is asked again";
    ASSERT_TRUE(later.send(lens, !manualMm, manualMm, again));
    EXPECT_TRUE(again == sent) << turnSteps;
  }
}

// A lab's file: an ellipse with half-axes a (along x) and b, mm, in `count` radii.
std::string ellipseFile(double a, double b, int count) {
  std::vector<int> radii;
  for (int i = 0; i < count; ++i) {
    const double t = 2 * std::numbers::pi * i / count;
    radii.push_back(
        static_cast<int>(std::lround(100 * a * b / std::hypot(b * std::cos(t), a * std::sin(t)))));
  }
  return "JOB=77\r\n" + writeOmaTrace(radii);
}

TEST(ForeignTraceOnThePlot, resampledAnyCountTurnedAndSizedButTheFeelerTipIsNotAddedAgain) {
  const auto stream = toolkit::buildStream(toolkit::circle(20), toolkit::TracerCalibration{}, 0, 4321);
  // The file's radii and half-axes, turned by steps, the lens type; the box as sent (mm: the lens
  // type and the send's fixed 0.1 mm added).
  const std::tuple<int, double, double, int, LensType, double, double> rows[] = {
      {360, 25, 25, 0, LensType::Same, 50.1, 50.1},
      {400, 25, 15, 540, LensType::Larger, 30.3, 50.3},  // a quarter turn
      {1000, 25, 15, 0, LensType::Smaller, 50, 30}};
  for (const auto& [count, a, b, turnSteps, lens, boxA, boxB] : rows) {
    cli::HeadlessProgram program(3.0, 0.0);
    ASSERT_TRUE(program.read(stream));  // the tracer's serial and job must not stay with it
    ASSERT_EQ(program.load(parseTraceFile(ellipseFile(a, b, count))), "");
    EXPECT_TRUE(program.state().raw_samples.empty() && program.state().contador_treballs == "77");
    program.turn(turnSteps);
    oma::Bytes sent;
    ASSERT_TRUE(program.send(lens, true, std::nullopt, sent));
    const ShapeSizes sizes = measureShape(sentRadii(program.state().forma_auxiliar));
    EXPECT_NEAR(sizes.a, boxA, 0.03) << count;
    EXPECT_NEAR(sizes.b, boxB, 0.03) << count;

    // A file it cannot use is refused with the codec's reason and leaves the shape as it stood.
    const TraceTable before = program.state().forma_treball;
    for (const std::string& bad :
         {std::string("basura"), ellipseFile(25, 15, 360).replace(0, 6, "TRCFMT=2")}) {
      EXPECT_NE(program.load(parseTraceFile(bad)), "");
      EXPECT_TRUE(program.state().forma_treball == before && program.message() == texts::kSentOk);
    }
  }
  EXPECT_EQ(readShapeFile("/no/such/file.vca").reason, "no se puede leer");
}

}  // namespace
}  // namespace kovrel
