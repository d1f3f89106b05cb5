// Reads on a real line: the tracer simulator streams over a pseudo-terminal, the program opens
// it by its COM name, decodes the stream, draws the shape and hands it on, or stops the read
// with the message the operator knows.

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cmath>
#include <iostream>
#include <numbers>

#include "app/texts.h"
#include "common/tracer_stream.h"
#include "e2e_rig.h"
#include "ports/com_registry.h"
#include "scanner/plot.h"
#include "scanner/plot_widget.h"

namespace kovrel::e2e {
namespace {

namespace tk = toolkit;

// The read shape follows the traced outline as finely as one count of the arm allows.
void expectTraceFollows(const TraceTable& trace, const tk::Outline& outline) {
  const double countMm = tk::countSizeMm({});
  for (int n = 1; n <= 4095; ++n)
    ASSERT_NEAR(trace.radius(n), outline(trace.angle(n)), countMm) << "point " << n;
}

// First point where two reads differ, 0 when none.
int firstDifference(const TraceTable& a, const TraceTable& b) {
  for (int n = 0; n <= TraceTable::kLastPoint; ++n)
    if (a.angle(n) != b.angle(n) || a.radius(n) != b.radius(n)) return n;
  return 0;
}

// The buttons a read leaves when it ends without a shape: read again or leave, nothing to edit
// or send.
void expectReadButtonsBack(KovrelApp& app) {
  const Window& w = app.window();
  for (Control c : {Control::llegirBtn, Control::sortirBtn}) EXPECT_TRUE(w.isEnabled(c)) << objectName(c);
  EXPECT_EQ(w.isEnabled(Control::cfg_btn), !w.isChecked(Control::autochk));  // Auto holds CONFIG
  for (Control c : {Control::interpola, Control::mirallHoritzontal, Control::Horari, Control::antiHorari,
                    Control::parada})
    EXPECT_FALSE(w.isEnabled(c)) << objectName(c);
  EXPECT_EQ(w.value(Control::ProgressBar1), 0);
  EXPECT_FALSE(app.tracerPort().isOpen());
}

// Where the blue points of the plot are, as radii about the turntable centre (mm).
struct DrawnRing {
  int points = 0;
  double innermostMm = 1e9, outermostMm = 0;
  std::vector<bool> sectorDrawn;  // equal angular sectors that hold a point
};

DrawnRing drawnRing(const QImage& image, const PlotScale& scale, int sectors) {
  DrawnRing ring;
  ring.sectorDrawn.assign(static_cast<std::size_t>(sectors), false);
  for (int row = 0; row < image.height(); ++row) {
    for (int column = 0; column < image.width(); ++column) {
      const QRgb p = image.pixel(column, row);
      if (qRed(p) != 0 || qGreen(p) != 0 || qBlue(p) != 255) continue;
      const double x = (column + 0.5) / scale.pxPerMmX - kPlotCentre;
      const double y = kPlotCentre - (row + 0.5) / scale.pxPerMmY;
      const double r = std::hypot(x, y);
      ++ring.points;
      ring.innermostMm = std::min(ring.innermostMm, r);
      ring.outermostMm = std::max(ring.outermostMm, r);
      double a = std::atan2(y, x);
      if (a < 0) a += 2 * std::numbers::pi;
      const auto sector =
          static_cast<std::size_t>(a / (2 * std::numbers::pi) * sectors) % ring.sectorDrawn.size();
      ring.sectorDrawn[sector] = true;
    }
  }
  return ring;
}

// === A read that goes through ===========================================================================

TEST_F(EndToEnd, circleIsReadDrawnAtTrueSizeAndReadyToSend) {
  startProgram();
  auto tracer = startTracer({"--fast", "--outline", "circle:25", "--job", "345"});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();

  EXPECT_EQ(text(Control::Text1), texts::kReadFinished);
  EXPECT_EQ(text(Control::contadorLectures), "Rev.[345]");
  EXPECT_TRUE(state().contador_treballs == 345) << state().contador_treballs.toText();
  for (Control c : {Control::interpola, Control::mirallHoritzontal, Control::Horari, Control::antiHorari,
                    Control::parada})
    EXPECT_TRUE(enabled(c)) << objectName(c);
  for (Control c : {Control::llegirBtn, Control::sortirBtn, Control::cfg_btn})
    EXPECT_FALSE(enabled(c)) << objectName(c);
  EXPECT_FALSE(app().tracerPort().isOpen());
  expectTraceFollows(state().forma_treball, tk::circle(25));

  // What the operator sees: the ring of the lens, 25 mm from the cross, all the way round.
  QApplication::processEvents();
  const QImage plot = app().window().control(Control::Picture1)->grab().toImage();
  const DrawnRing ring = drawnRing(plot, app().window().plot().scale(), 72);
  EXPECT_GT(ring.points, 300);
  EXPECT_GT(ring.innermostMm, 24.5);
  EXPECT_LT(ring.outermostMm, 25.5);
  for (std::size_t s = 0; s < ring.sectorDrawn.size(); ++s)
    EXPECT_TRUE(ring.sectorDrawn[s]) << "nothing drawn in sector " << s;

  const std::string shot = std::string(KOVREL_E2E_OUTPUT) + "/e2e-circle-read.png";
  ASSERT_TRUE(app().window().grab().save(QString::fromStdString(shot)));
  std::cout << "[ screenshot ] " << shot << std::endl;
}

TEST_F(EndToEnd, realFrameIsReadAsTracedAndPacingChangesNothing) {
  // A lab's frame outline when the shared fixtures are there, a rounded rectangle otherwise.
  const fs::path frame = fs::path(KOVREL_FIXTURES) / "oma" / "R360_1.oma";
  std::string outlineArg = "rect:26,18";
  tk::Outline outline = tk::superellipse(26, 18, 6);
  if (fs::exists(frame)) {
    outlineArg = "oma:" + frame.string();
    outline = outlineFromTrace(savedTrace(frame));
  }
  startProgram();

  auto fast = startTracer({"--fast", "--outline", QString::fromStdString(outlineArg)});
  ASSERT_TRUE(readShape(*fast)) << fast->output();
  ASSERT_EQ(text(Control::Text1), texts::kReadFinished);
  expectTraceFollows(state().forma_treball, outline);
  const TraceTable fastRead = state().forma_treball;
  fast->stop();

  // The machine's own pace: the shape grows on screen while the turntable turns.
  auto paced = startTracer({"--outline", QString::fromStdString(outlineArg)});
  click(Control::parada);  // the operator leaves the read shape for a new read
  click(Control::llegirBtn);
  ASSERT_EQ(state().esticCapturant, 1);
  paced->writeLine("start");
  bool sawHalfway = false;
  ASSERT_TRUE(waitUntil([&] {
    const int progress = app().window().value(Control::ProgressBar1);
    if (progress > 1000 && progress < 3000) sawHalfway = true;
    return state().esticCapturant == 0;
  })) << paced->output();
  EXPECT_TRUE(sawHalfway) << "the paced read arrived all at once";
  ASSERT_EQ(text(Control::Text1), texts::kReadFinished);
  EXPECT_EQ(firstDifference(state().forma_treball, fastRead), 0);
}

// === A read that stops ==================================================================================

TEST_F(EndToEnd, brokenStreamsStopTheReadWithTheOperatorsMessage) {
  struct Case {
    const char* fault;
    std::string_view message;
    bool untickAuto;  // a program error also leaves automatic mode
  };
  const Case cases[] = {
      {"wrong-first-byte", texts::kPressReadFirst, false},
      {"below-range", texts::kShapeOutOfRange, false},
      {"high-byte", texts::kProgramErrorRestart, true},
  };
  startProgram();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    if (!app().window().isChecked(Control::autochk)) click(Control::autochk);
    auto tracer = startTracer({"--fast", "--fault", c.fault});
    ASSERT_TRUE(readShape(*tracer)) << tracer->output();
    EXPECT_EQ(text(Control::Text1), c.message);
    EXPECT_EQ(app().window().isChecked(Control::autochk), !c.untickAuto);
    expectReadButtonsBack(app());
  }
  // Nothing of the stopped reads lingers: the next sound read goes through.
  auto tracer = startTracer({"--fast"});
  ASSERT_TRUE(readShape(*tracer)) << tracer->output();
  EXPECT_EQ(text(Control::Text1), texts::kReadFinished);
  expectTraceFollows(state().forma_treball, tk::circle(25));
}

TEST_F(EndToEnd, readCutShortWaitsUntilTheOperatorStopsIt) {
  startProgram();
  auto tracer = startTracer({"--fast", "--fault", "truncated"});
  click(Control::llegirBtn);
  tracer->writeLine("start");
  ASSERT_TRUE(tracer->waitForOutput("read 1: sent")) << tracer->output();
  // Everything that came is taken: 2000 samples, and the bar stands at the next one.
  ASSERT_TRUE(waitUntil([&] { return app().window().value(Control::ProgressBar1) == 2001; }))
      << app().window().value(Control::ProgressBar1);
  EXPECT_EQ(state().esticCapturant, 1);
  EXPECT_EQ(text(Control::Text1), texts::kReadingShape);
  EXPECT_TRUE(enabled(Control::parada));
  EXPECT_FALSE(enabled(Control::llegirBtn));
  EXPECT_FALSE(enabled(Control::interpola));

  click(Control::parada);
  EXPECT_EQ(text(Control::Text1), texts::kReadAborted);
  EXPECT_EQ(state().esticCapturant, 0);
  expectReadButtonsBack(app());
}

TEST_F(EndToEnd, tracerComNumberWithNoPortIsAPortError) {
  // A COM number nothing answers to on this machine, in this test's folder.
  ComRegistry registry(systemComFolders());
  int absent = 9;
  while (absent < kMaxComNumber && registry.resolve(absent)) ++absent;
  startProgram({.tracerCom = absent});
  click(Control::autochk);
  ASSERT_TRUE(app().window().isChecked(Control::autochk));

  click(Control::llegirBtn);
  EXPECT_EQ(text(Control::Text1), texts::kPortErrorRestart);
  EXPECT_EQ(state().esticCapturant, 0);
  // Only leaving the program helps.
  EXPECT_FALSE(app().window().isChecked(Control::autochk));
  EXPECT_FALSE(enabled(Control::autochk));
  EXPECT_FALSE(enabled(Control::llegirBtn));
  EXPECT_FALSE(enabled(Control::cfg_btn));
  EXPECT_TRUE(enabled(Control::sortirBtn));
  EXPECT_FALSE(app().tracerPort().isOpen());
}

}  // namespace
}  // namespace kovrel::e2e
