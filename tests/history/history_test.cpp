// The history's list, filters and buttons on an in-memory window; kept reads and other labs'
// trace files standing on the plot of the program without its window, and what ENVIAR then sends.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "base/number_text.h"
#include "base/texts.h"
#include "common/tracer_stream.h"
#include "geometry/shape_sizes.h"
#include "headless_program.h"
#include "history/historial.h"

namespace kovrel {
namespace {

class FakeHistoryView : public HistoryView {
 public:
  void rowsChanged(int count) override { rows = count, current = -1; }
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

HistoryEntry entry(std::string job, Day day, int sends = 0, bool readable = true) {
  HistoryEntry e;
  e.path = "2026-12/" + job + ".vca", e.day = day, e.hour = 9, e.minute = 5, e.job = std::move(job);
  e.aMm = 52.346, e.bMm = 38.1, e.sends = sends, e.lastOutcome = "Envio >OK< ";
  e.readable = readable, e.reason = readable ? "" : "TRCFMT=2 no es un trazado de radios";
  return e;
}

constexpr Day kToday{2026, 12, 7}, kYesterday{2026, 12, 6};

class HistorialTest : public ::testing::Test {
 protected:
  std::vector<HistoryEntry> kept{entry("1234", kToday, 2), entry("345", kToday), entry("9123", kYesterday),
                                 entry("12", {2026, 12, 5}, 0, false)};
  FakeHistoryView view;
  std::vector<std::filesystem::path> loaded, saved;
  std::string loadProblem, saveProblem;
  bool shape = false;
  Historial history{view,
                    {[this] { return kept; },
                     [this](const std::filesystem::path& p) { return loaded.push_back(p), loadProblem; },
                     [this](const std::filesystem::path& p) { return saved.push_back(p), saveProblem; },
                     [this] { return shape; }, [] { return std::filesystem::path("Rev.[1234].vca"); }}};

  std::vector<std::string> shownJobs() const {
    std::vector<std::string> jobs;
    for (int i = 0; i < history.rowCount(); ++i) jobs.push_back(history.row(i).job);
    return jobs;
  }
};

TEST_F(HistorialTest, jobDigitsAndDayNarrowTheListNewestFirstAndTheStatusCountsThem) {
  struct Row {
    std::string typed;
    std::optional<Day> day;
    std::vector<std::string> jobs;
    std::string status;
  } rows[] = {
      {"", {}, {"1234", "345", "9123", "12"}, "4 lecturas"},
      {"12", {}, {"1234", "9123", "12"}, "3 de 4 lecturas"},
      {"1 x2", {}, {"1234", "9123", "12"}, "3 de 4 lecturas"},  // only the digits count
      {"", kToday, {"1234", "345"}, "2 de 4 lecturas"},
      {"3", kYesterday, {"9123"}, "1 de 4 lecturas"},
      {"77", {}, {}, "0 de 4 lecturas"},
  };
  history.open();
  EXPECT_TRUE(view.opened && view.rows == 4 && view.current == 0);
  for (const Row& r : rows) {
    view.job = r.typed, view.day = r.day;
    view.onAction(HistoryAction::Filter);
    EXPECT_EQ(shownJobs(), r.jobs) << r.typed;
    EXPECT_EQ(view.rows, static_cast<int>(r.jobs.size())) << r.typed;
    EXPECT_EQ(view.status, r.status) << r.typed;
  }
}

TEST_F(HistorialTest, aRowSaysWhenJobSizeInTheLocalesFormAndTheSendOrWhyTheFileIsUnusable) {
  struct Row {
    HistoryEntry e;
    char separator;
    HistoryRowTexts texts;
  } rows[] = {
      {entry("345", kToday), ',', {"07/12/2026 09:05", "345", "52,35 × 38,10 mm", "No enviado"}},
      {entry("1234", kToday, 2),
       '.',
       {"07/12/2026 09:05", "1234", "52.35 × 38.10 mm", "Enviado (2): Envio >OK< "}},
      {entry("12", kYesterday, 0, false),
       ',',
       {"06/12/2026 09:05", "12", "", "Ilegible: TRCFMT=2 no es un trazado de radios"}},
  };
  for (const Row& r : rows) {
    const HistoryRowTexts t = Historial::textsOf(r.e, r.separator);
    EXPECT_EQ(std::tie(t.when, t.job, t.size, t.sent),
              std::tie(r.texts.when, r.texts.job, r.texts.size, r.texts.sent));
  }
}

TEST_F(HistorialTest, loadingOpeningAndSavingGoThroughTheHooksAndAFileThatCannotBeUsedIsNamedWithItsReason) {
  history.open();
  EXPECT_FALSE(view.saveEnabled);
  view.onAction(HistoryAction::GuardarComo);  // no shape on the plot: nothing to save
  EXPECT_EQ(view.dialogs, 0);

  view.current = 3;  // the unreadable file: told, never loaded
  view.onAction(HistoryAction::Cargar);
  ASSERT_EQ(view.messages, std::vector<std::string>{
                               "No se puede usar el archivo 12.vca: TRCFMT=2 no es un trazado de radios"});
  EXPECT_TRUE(loaded.empty() && view.opened);

  loadProblem = "el archivo está vacío";
  view.current = 1;
  view.onAction(HistoryAction::Cargar);
  EXPECT_EQ(view.messages.back(), "No se puede usar el archivo 345.vca: el archivo está vacío");
  EXPECT_TRUE(view.opened);

  loadProblem.clear();
  view.onAction(HistoryAction::Abrir);  // cancelled
  EXPECT_EQ(loaded.size(), 1u);
  view.openAnswer = "/lab/otro.vca";
  view.onAction(HistoryAction::Abrir);
  EXPECT_EQ(loaded, (std::vector<std::filesystem::path>{"2026-12/345.vca", "/lab/otro.vca"}));
  EXPECT_FALSE(view.opened) << "the loaded shape stands on the main window";

  shape = true, view.saveAnswer = "/lab/guardada.vca", saveProblem = "disco lleno";
  history.open();
  EXPECT_TRUE(view.saveEnabled);
  view.onAction(HistoryAction::GuardarComo);
  EXPECT_EQ(view.suggestedName, "Rev.[1234].vca");
  EXPECT_EQ(saved, std::vector<std::filesystem::path>{"/lab/guardada.vca"});
  EXPECT_EQ(view.messages.back(), "No se ha podido guardar guardada.vca: disco lleno");
  saveProblem.clear();
  view.onAction(HistoryAction::GuardarComo);
  EXPECT_EQ(view.status, "Guardado en guardada.vca");
  view.onAction(HistoryAction::Cerrar);
  EXPECT_FALSE(view.opened);
}

// --- On the plot, then ENVIAR ------------------------------------------------------------------

// What the history keeps of the read the program holds now.
KeptShape keptFrom(const SharedState& s, double manualMm) {
  KeptShape k;
  k.ownRead = true, k.forma_treball = s.forma_treball, k.serial_number = s.serial_number;
  k.job = shortestNumber(s.contador_treballs.toNumber());
  k.signe_x = s.signe_x.toNumber() < 0 ? -1 : 1, k.gir_acumulat = s.gir_acumulat;
  k.normalOaire = s.normalOaire.toNumber(), k.manualOffsetMm = manualMm;
  return k;
}

TEST(KeptReadOnThePlot, aKeptReadStandsAsAFreshOneAndEnviarSendsByteForByteWhatItSentTheFirstTime) {
  struct Row {
    bool mirror;
    int turnSteps;
    LensType lens;
    std::optional<double> manualMm;
  } rows[] = {{false, 0, LensType::Same, {}},
              {true, 37, LensType::Larger, {}},
              {true, -500, LensType::Smaller, 0.15},
              {false, 1, LensType::Same, -0.3}};
  using namespace toolkit;
  const auto stream =
      buildStream(offCentre(superellipse(26, 17, 3.2), 1.5, -0.8), TracerCalibration{}, 0, 4321);
  for (const Row& r : rows) {
    cli::HeadlessProgram first(3.0, 0.05);
    oma::Bytes sent, again;
    ASSERT_TRUE(first.read(stream));
    if (r.mirror) first.mirror();
    first.turn(r.turnSteps);
    ASSERT_TRUE(first.send(r.lens, !r.manualMm, r.manualMm, sent));

    cli::HeadlessProgram later(3.0, 0.05);
    ASSERT_TRUE(later.read(stream));  // a read of another day stands on the plot first
    later.turn(3);
    later.load(keptFrom(first.state(), r.manualMm.value_or(0.0)));
    EXPECT_EQ(later.message(), texts::kReadFinished);
    EXPECT_EQ(later.state().tipoMontura.toNumber(), 0) << "the lens type is asked again";
    ASSERT_TRUE(later.send(r.lens, !r.manualMm, r.manualMm, again));
    EXPECT_TRUE(again == sent) << r.turnSteps;
  }
}

// Radii of an ellipse with half-axes a (along x) and b, mm, `count` of them from 0 radians on.
std::vector<double> ellipseRadii(double a, double b, int count) {
  std::vector<double> radii;
  for (int i = 0; i < count; ++i) {
    const double t = 2 * std::numbers::pi * i / count;
    radii.push_back(a * b / std::hypot(b * std::cos(t), a * std::sin(t)));
  }
  return radii;
}

TEST(ForeignTraceOnThePlot, resampledAnyCountTurnedAndSizedButTheFeelerTipIsNotAddedAgain) {
  struct Row {
    int count;
    double a, b;
    int turnSteps;
    LensType lens;
    double boxA, boxB;  // mm, as sent: the lens type and the send's fixed 0.1 mm added
  } rows[] = {{360, 25, 25, 0, LensType::Same, 50.1, 50.1},
              {400, 25, 15, 540, LensType::Larger, 30.3, 50.3},  // a quarter turn
              {1000, 25, 15, 0, LensType::Smaller, 50, 30}};
  for (const Row& r : rows) {
    cli::HeadlessProgram program(3.0, 0.0);
    KeptShape file;
    file.radiiMm = ellipseRadii(r.a, r.b, r.count), file.job = "77";
    program.load(file);
    program.turn(r.turnSteps);
    oma::Bytes sent;
    ASSERT_TRUE(program.send(r.lens, true, std::nullopt, sent));
    const ShapeSizes sizes = measureShape(sentRadii(program.state().forma_auxiliar));
    EXPECT_NEAR(sizes.a, r.boxA, 0.03) << r.count;
    EXPECT_NEAR(sizes.b, r.boxB, 0.03) << r.count;
  }
}

}  // namespace
}  // namespace kovrel
