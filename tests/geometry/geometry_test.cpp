#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <tuple>

#include "common/tracer_stream.h"
#include "fake_plot.h"
#include "fake_timer.h"
#include "fake_window.h"
#include "geometry/prepare.h"
#include "geometry/prepare_steps.h"
#include "geometry/shape_editor.h"
#include "geometry/shape_sizes.h"
#include "outline_traces.h"

namespace kovrel::preparation {
namespace {

using testing::traceOf;

TraceTable rowsWithRadii(const std::vector<double>& radii) {
  TraceTable t;
  for (std::size_t n = 0; n < 800; ++n)
    t.radius(static_cast<int>(n) + 1) = radii[std::min(n, radii.size() - 1)];
  return t;
}

TEST(TipCompensation, tipRadiusFollowsTheSerialAndDegenerateNeighboursGiveKnownValuesNeverNaN) {
  for (auto [serial, mm] :
       {std::pair{"60", 0.625}, {"0042", 0.625}, {"", 0.625}, {"61", 0.65}, {"777777", 0.65}})
    EXPECT_EQ(probeTipRadius(serial), mm) << serial;
  // Row 1 (angle, radius) and its neighbour row 2: the same spot, a radial wall, the centre,
  // and a neighbour whose angle makes the tip's tangent vanish; then row 1 as the tip moves it.
  for (auto [a1, r1, a2, r2, angle, radius] :
       {std::tuple{0.5, 20.0, 0.5, 20.0, 0.514001385494035, 20.0662520852497},
        {0.5, 20.0, 0.5, 21.0, 0.527930130778138, 20.3449539899193},
        {0.5, 0.0, 0.6, 0.0, 0.6 + std::numbers::pi / 2, 0.0970014474876614},
        {90.0, 10.0, 0.0, 10.0, -0.0624188099959574, 10.625}}) {
    for (double tip : {0.625, 0.0}) {  // a tip of no size leaves nothing to push out
      TraceTable t = traceOf(toolkit::circle(20));
      t.angle(1) = a1, t.radius(1) = r1, t.angle(2) = a2, t.radius(2) = r2, compensateTip(t, tip, 2);
      EXPECT_TRUE(tip == 0.0 ? std::isfinite(t.angle(1) + t.radius(1))
                             : std::abs(t.angle(1) - angle) + std::abs(t.radius(1) - radius) < 1e-12)
          << a1 << " " << r1 << " " << a2;
    }
  }
}

TEST(TipCompensation, anyFilterValueWrapsRoundTheTurnWithoutLeavingTheIntegerRange) {
  const TraceTable read = traceOf(toolkit::offCentre(toolkit::ellipse(30, 20), 2, -1));
  // Run by the sanitizer build: no value may overflow the row lookup or its conversion.
  for (double wild : {-2147483648.0, 1e20, std::nan(""), HUGE_VAL}) {
    TraceTable t = read;
    compensateTip(t, 0.625, wild);
    EXPECT_TRUE(std::isfinite(t.radius(4095)) && std::isfinite(t.angle(1))) << wild;
  }
  EXPECT_TRUE(filterInRange(-4095) && filterInRange(4095) && !filterInRange(4095.5));
  EXPECT_FALSE(filterInRange(std::nan("")) || filterInRange(-1e20));
  // Beyond two turns the neighbour's position is brought back by whole double turns; a filter two
  // turns larger therefore looks at the same rows, including a position of exactly two turns.
  for (double filter : {10000.0, 10000.5, 9000.25, 12285.0}) {
    TraceTable near = read, far = read;
    compensateTip(near, 0.65, filter), compensateTip(far, 0.65, filter + 2 * kPoints);
    EXPECT_TRUE(near == far) << filter;
  }
}

TEST(SeamSort, sortedTraceRepeatsTheFirstEndRowAStalledSortKeepsEveryPointAndAnglesComeIntoTheTurn) {
  const TraceTable before = traceOf(toolkit::ellipse(30, 20));
  TraceTable t = before;
  EXPECT_EQ(normaliseAndSortSeam(t), 400);  // the last candidate is lost
  for (int i = 1; i <= kPoints; ++i) ASSERT_EQ(t.angle(i), before.angle(i <= 3895 ? i : i - 1)) << i;

  // A seam row at exactly 1 radian is neither small nor large: the selection stalls on it.
  t = before, t.angle(150) = 1.0, t.angle(kPoints) = 0.005;  // the last row already past the turn
  const auto points = [&] {
    std::vector<std::pair<double, double>> p;
    for (int i = 1; i <= kPoints; ++i) p.emplace_back(t.angle(i), t.radius(i));
    return p;
  };
  auto unsorted = points();
  EXPECT_LT(normaliseAndSortSeam(t), 400);
  std::sort(unsorted.begin(), unsorted.end());
  EXPECT_EQ(points(), unsorted);

  t = before, t.angle(2) = -0.01, t.angle(4094) = kTwoPi + 0.01;  // just past either end of the turn
  normaliseAndSortSeam(t);
  for (int i = 1; i <= kPoints; ++i) ASSERT_TRUE(t.angle(i) >= 0 && t.angle(i) <= kTwoPi) << i;
  EXPECT_EQ(t.angle(1), 0.0);
}

TEST(Ordering, theTurnRestartsAtTheGivenRowForwardsOrBackwards) {
  TraceTable t;
  for (int i = 1; i <= kPoints; ++i) t.angle(i) = i, t.radius(i) = -i;
  TraceTable forwards = t, backwards = t;
  rotateToStart(forwards, 100, false);  // rows 100..4095, then 1..99
  rotateToStart(backwards, 100, true);  // the same backwards: 99..1, then 4095..100
                                        // clang-format off
  for (auto [row, fromForwards, fromBackwards] : {std::tuple{1, 100, 99}, {99, 198, 1}, {100, 199, 4095},
                                                  {3996, 4095, 199}, {3997, 1, 198}, {4095, 99, 100}}) {
    // clang-format on
    EXPECT_TRUE(forwards.angle(row) == fromForwards && forwards.radius(row) == -fromForwards) << row;
    EXPECT_TRUE(backwards.angle(row) == fromBackwards && backwards.radius(row) == -fromBackwards) << row;
  }
  // A point's angle in [0, 2 pi) on each axis and in each quadrant; the centre keeps the row's angle.
  // clang-format off
  for (auto [x, y, angle] : {std::tuple{1.0, 0.0, 0.0}, {0.0, 2.0, kPi / 2}, {-1.0, 1.0, kPi * 0.75},
                             {0.0, -2.0, kPi * 1.5}, {1.0, -1.0, kPi * 1.75}, {0.0, 0.0, 7.0}}) {
    // clang-format on
    double a = 7.0, r = -1.0;
    toPolar(x, y, a, r);
    EXPECT_TRUE(std::abs(a - angle) < 1e-12 && std::abs(r - std::hypot(x, y)) < 1e-12) << x << " " << y;
  }
  TraceTable tiny = traceOf([](double) { return 0.3; });  // a box of any size has its centre
  const BoxCentre centre = centreOnBox(tiny);
  EXPECT_TRUE(std::abs(centre.x) < 1e-3 && std::abs(centre.y) < 1e-3);
}

TEST(Coding, radiiAreCutToWholeHundredthsAndOffsetsAddHalfTheirDiametersPlusFiveHundredths) {
  TraceTable t = rowsWithRadii({12.349, 12.3, -0.001, 0.999});
  toHundredths(t);
  EXPECT_TRUE(t.radius(1) == 1234 && t.radius(2) == 1230 && t.radius(3) == -1 && t.radius(4) == 99);
  t = rowsWithRadii({1000});
  EXPECT_DOUBLE_EQ(applyOffsets(t, 0.1, 0.2, -0.1), 10);  // 5 + 10 - 5 hundredths
  EXPECT_TRUE(t.radius(1) == 1015 && t.radius(800) == 1015);
}

TEST(Resampling, nearerRowTakenTieToTheRowBeyondPlotHalvesToEvenSpikesSmoothedAndClampedStepsCaughtUp) {
  const double x = 1.0 / 1024;  // exact: the two distances to the first target compare equal
  for (auto [below, beyond, row] : {std::tuple{kFirstTarget - x, kFirstTarget + 2 * x, 1},
                                    {kFirstTarget - 2 * x, kFirstTarget + x, 2},
                                    {kFirstTarget - x, kFirstTarget + x, 2}}) {
    TraceTable t = traceOf(toolkit::circle(20)), out;
    t.angle(1) = below, t.radius(1) = 11, t.angle(2) = beyond, t.radius(2) = 12;
    resample(t, out);
    EXPECT_EQ(out.radius(2), 10 + row) << below << " " << beyond;
  }
  TraceTable half, out;  // half a turn only: targets beyond the last row take the last row
  for (int i = 1; i <= kPoints; ++i) half.angle(i) = kPi * (i - 1) / kPoints, half.radius(i) = 20 + i * 1e-3;
  resample(half, out);
  EXPECT_EQ(out.radius(402), half.radius(kPoints));  // the first target past half a turn
  EXPECT_EQ(out.radius(800), half.radius(kPoints));
  // Plot positions round to tenths, halves to even.
  for (auto [radius, plotX] : {std::pair{0.25, 40.2}, {0.45, 40.4}, {-0.25, 39.8}, {12.34, 52.3}}) {
    TraceTable t = traceOf(toolkit::circle(20)), out;
    t.angle(1) = 0, t.radius(1) = radius, t.angle(2) = 1.0;  // row 1 is nearest the first target
    const auto points = resample(t, out);
    ASSERT_EQ(points.size(), 799u);
    EXPECT_TRUE(points[0].first == plotX && points[0].second == 40.0) << radius << " " << points[0].first;
  }
  // clang-format off
  for (auto [before, row, after, expected] : {std::tuple{1000, 1005, 1000, 1000}, {1000, 1005, 1001, 1000},
           {1000, 1005, 999, 999}, {1000, 995, 1001, 1000}, {1000, 1005, 1002, 1005}, {1000, 1005, 1010, 1005}}) {
    // clang-format on
    TraceTable t = rowsWithRadii({double(before), double(row), double(after)});
    filterSpikes(t);
    EXPECT_EQ(t.radius(2), expected) << before << " " << row << " " << after;
  }
  TraceTable t = rowsWithRadii({1000, 1004, 1001, 1005});
  t.radius(800) = 1006, t.radius(801) = 1005;  // the last row sent has no neighbour beyond it
  filterSpikes(t);
  EXPECT_TRUE(t.radius(3) == 1001 && t.radius(800) == 1006);  // row 2, smoothed to 1000, is row 3's left one
  // Differences are bytes, and a clamped step catches up afterwards.
  for (const auto& [radii, codes] : std::vector<std::pair<std::vector<double>, std::vector<double>>>{
           {{2000, 1999, 1872, 1872, 1999}, {2000, 255, 129, 0, 127}},
           {{2000, 2150, 2150}, {2000, 127, 23, 0}},                    // 1.50 mm: 1.27 then 0.23
           {{2000, 1700, 1700, 1700, 1701}, {2000, 129, 129, 210, 1}},  // -127, -127, -46
           {{2000, 2200, 1900, 1900}, {2000, 127, 129, 156, 0}}}) {     // +127, -127, -100
    TraceTable t = rowsWithRadii(radii);
    codeDifferences(t);
    for (std::size_t n = 0; n < codes.size(); ++n)
      EXPECT_EQ(t.radius(static_cast<int>(n) + 1), codes[n]) << n;
    EXPECT_EQ(testing::decodeAsHost(t).back(), radii.back());  // the host is back on the true radius
  }
}

using namespace testing;

PrepareInputs inputs(double turn = 0, int mirror = 1) {
  PrepareInputs in;
  in.serial_number = "0042", in.gir_acumulat = turn, in.signe_x = mirror;
  return in;
}

double egg(double a) { return 24 + 3 * std::cos(a) + 1.5 * std::sin(2 * a); }  // no symmetry

TEST(Prepare, offsetsMoveEveryRadiusWhileOnlyTheManualOneCountsInTheSizes) {
  const TraceTable read = traceOf(toolkit::superellipse(26, 18, 6));
  const PreparedShape plain = prepareShape(read, inputs(0.2, -1));
  PrepareInputs in = inputs(0.2, -1);
  in.manualOffsetMm = 0.2, in.normalOaire = 0.2, in.OffsetMida = -0.1;
  const PreparedShape offset = prepareShape(read, in);
  EXPECT_DOUBLE_EQ(offset.offset_radi, 15);
  for (int n = 0; n < 800; ++n) {
    ASSERT_EQ(std::fmod(plain.radii[n], 1.0), 0.0) << n;  // whole hundredths plus the 5 allowance
    ASSERT_DOUBLE_EQ(offset.radii[n], plain.radii[n] + 15) << n;
  }
  EXPECT_TRUE(offset.mida_h == plain.mida_h + 20 && offset.mida_v == plain.mida_v + 20);
  EXPECT_EQ(offset.plotPoints, plain.plotPoints);
  // Preparing again gives the same shape: nothing is carried from one preparation to the next.
  const PreparedShape again = prepareShape(read, in);
  EXPECT_TRUE(again.forma_auxiliar == offset.forma_auxiliar && again.mida_h == offset.mida_h);
}

TEST(RoundTrip, outlinesReachTheHostAsTheOperatorSawThemAndANotchDecodesBackAfterEachWall) {
  const double turn = 0.25;  // radians; the screen turns first and mirrors x afterwards
  const std::tuple<const char*, OutlineFn, PrepareInputs, OutlineFn> cases[] = {
      {"circle", toolkit::circle(25), inputs(), toolkit::circle(25)},
      {"ellipse", toolkit::ellipse(28, 20), inputs(), toolkit::ellipse(28, 20)},
      {"rounded rectangle", toolkit::superellipse(26, 18, 6), inputs(), toolkit::superellipse(26, 18, 6)},
      {"off-centre", toolkit::offCentre(toolkit::ellipse(27, 19), 3, -2), inputs(), toolkit::ellipse(27, 19)},
      // Row 1 lies on the x axis: mirrored without a turn it must land on the far side.
      {"off-centre mirrored", toolkit::offCentre(toolkit::ellipse(27, 19), 3, -2), inputs(0, -1),
       toolkit::ellipse(27, 19)},
      {"egg turned", egg, inputs(turn, 1), [&](double a) { return egg(a - turn); }},
      {"egg turned and mirrored", egg, inputs(turn, -1),
       [&](double a) { return egg(kTurn / 2 - a - turn); }}};
  // The host's outline is `seen` (as left on screen, about its box centre) grown by tip and allowance.
  for (const auto& [name, outline, in, seen] : cases) {
    SCOPED_TRACE(name);
    const PreparedShape shape = prepareShape(traceOf(outline), in);
    const auto decoded = decodeAsHost(shape.forma_auxiliar);
    ASSERT_EQ(decoded, shape.radii);
    std::vector<double> mm;
    for (double r : decoded) mm.push_back(r / 100);
    expectHostOutline(mm, seen);
  }
  // Radial walls of 3 mm: far more than the 1.27 mm one byte carries.
  const PreparedShape shape =
      prepareShape(traceOf([](double a) { return a >= 1 && a < 2 ? 21.0 : 24.0; }), inputs());
  const auto decoded = decodeAsHost(shape.forma_auxiliar);
  auto wallAt = [&](int n) { return n >= 1 && std::abs(shape.radii[n] - shape.radii[n - 1]) > 127; };
  int behind = 0;
  for (int n = 0; n < 800; ++n) {
    if (decoded[n] == shape.radii[n]) continue;
    ++behind;
    EXPECT_TRUE(wallAt(n) || wallAt(n - 1) || wallAt(n - 2)) << "radius " << n << " still behind";
  }
  EXPECT_GT(behind, 0);
}

double ellipsePerimeter(double a, double b) {  // Ramanujan's second form: within a micrometre here
  const double h = (a - b) * (a - b) / ((a + b) * (a + b));
  return kPi * (a + b) * (1 + 3 * h / (10 + std::sqrt(4 - 3 * h)));
}

// Shapes sampled where the host places its radii, against the shapes' own closed forms (a polygon
// of 800 points lies within 0.001 mm of their perimeter).
// The label shows what ENVIAR would deliver now: the read turned, with the three offsets, or once
// sent the stored trace; nothing before a read, after a stop or when the send would refuse.
TEST(ShapeSizes, equiangularRadiiMeasureAsTheShapesTheyCameFromAndTheLabelFollowsTheShapeToBeSent) {
  const OutlineFn ellipse = toolkit::ellipse(30, 20);
  const ShapeSizes ellipseSizes{60, 40, 60, ellipsePerimeter(30, 20)};
  const std::tuple<const char*, OutlineFn, int, ShapeSizes> rows[] = {
      {"circle", toolkit::circle(25), 800, {50, 50, 50, 1600 * 25 * std::sin(kPi / 800)}},
      {"circle, 360 radii", toolkit::circle(25), 360, {50, 50, 50, 720 * 25 * std::sin(kPi / 360)}},
      {"off-centre circle", toolkit::offCentre(toolkit::circle(24), 3, -2), 800, {48, 48, 48, kTurn * 24}},
      {"ellipse", ellipse, 800, ellipseSizes},
      {"off-centre ellipse", toolkit::offCentre(ellipse, 2, -1), 800, ellipseSizes}};
  for (const auto& [name, outline, count, want] : rows) {
    std::vector<double> radii;
    for (int i = 0; i < count; ++i) radii.push_back(100 * outline(kTurn * i / count));
    const ShapeSizes got = measureShape(radii);
    EXPECT_TRUE(std::abs(got.a - want.a) < 0.01 && std::abs(got.b - want.b) < 0.01 &&
                std::abs(got.dm - want.dm) < 0.01 && std::abs(got.perimeter - want.perimeter) < 0.01)
        << name << ": " << sizesText(got, '.');
  }
  EXPECT_EQ(sizesText({52.344, 38.1, 54.016, 150.124}, ','),
            "A 52,34 mm  B 38,10 mm  DM 54,02 mm  Perímetro 150,12 mm");
  EXPECT_EQ(sizesText({7, 0.006, 100, 0}, '.'), "A 7.00 mm  B 0.01 mm  DM 100.00 mm  Perímetro 0.00 mm");
  SharedState s;
  s.forma_treball = traceOf(toolkit::offCentre(toolkit::ellipse(30, 20), 2, -1)), s.serial_number = "0042";
  testing::FakeWindow w;
  ShapeSizesView view(s, w);
  const auto ab = [&] {  // A and B from the label, mm
    std::string t = w.text(Control::midesLbl);
    std::replace(t.begin(), t.end(), ',', '.');
    double a = -1, b = -1;
    std::sscanf(t.c_str(), "A %lf mm  B %lf", &a, &b);
    return std::pair{a, b};
  };
  w.setText(Control::offset_mida, "0,00"), view.refresh();
  EXPECT_EQ(w.text(Control::midesLbl), "");  // no read yet
  view.shapeReady();
  const auto [a0, b0] = ab();
  EXPECT_TRUE(std::abs(a0 - 60.23) < 0.1 && std::abs(b0 - 40.23) < 0.1);  // the tip and the allowance
  // Each offset grows every radius by half of it: the box by all of it.
  for (auto [manual, lens, general, growth] :
       {std::tuple{"0,1", 0.0, 0.0, 0.1}, {"0", 0.2, 0.0, 0.2}, {"-0,5", -0.1, 0.8, 0.2}}) {
    w.setText(Control::offset_mida, manual), s.normalOaire = lens, s.OffsetMida = general;
    view.refresh();
    EXPECT_TRUE(std::abs(ab().first - a0 - growth) < 0.011 && std::abs(ab().second - b0 - growth) < 0.011)
        << w.text(Control::midesLbl);
  }
  w.setText(Control::offset_mida, "0"), s.normalOaire = 0, s.OffsetMida = 0;
  s.gir_acumulat = kPi / 2;  // a quarter turn lays the ellipse on its side
  view.refresh();
  EXPECT_TRUE(std::abs(ab().first - b0) < 0.05 && std::abs(ab().second - a0) < 0.05)
      << w.text(Control::midesLbl);
  w.setText(Control::offset_mida, "0,0x"), view.refresh();
  EXPECT_EQ(w.text(Control::midesLbl), "");
  s.forma_auxiliar = prepareShape(traceOf(toolkit::circle(25)), inputs()).forma_auxiliar, s.ja_Enviat = 1;
  view.refresh();  // sent: a resend delivers the stored trace
  EXPECT_NEAR(ab().first, 50.23, 0.1);
  view.clear(), view.refresh();  // a new read, or a stop
  EXPECT_EQ(w.text(Control::midesLbl), "");
}

class ShapeEditorTest : public ::testing::Test {
 protected:
  ShapeEditorTest() { state.forma_treball = testing::traceOf(toolkit::ellipse(28, 20)); }

  // Presses a button, lets its timer tick `ticks` times and releases it; returns the steps made.
  int hold(bool clockwise, int ticks) {
    const int before = plot.clears;
    clockwise ? editor.Horari_MouseDown() : editor.antiHorari_MouseDown();
    for (int i = 0; i < ticks; ++i) (clockwise ? horari : antiHorari).tick();
    clockwise ? editor.Horari_MouseUp() : editor.antiHorari_MouseUp();
    return plot.clears - before;
  }

  SharedState state;
  testing::FakeWindow window;
  testing::FakePlot plot;
  testing::FakeTimer horari, antiHorari;
  ShapeEditor editor{state, window, plot, horari, antiHorari};
};

TEST_F(ShapeEditorTest, heldButtonStepsOnTheFirstTickThenFromTheTenthOn) {
  for (bool clockwise : {false, true}) {
    SCOPED_TRACE(clockwise);
    state.gir_acumulat = 0.0, window.setPasswordMode(Control::Text1, true);
    window.setForeColor(Control::Text1, kRed);
    EXPECT_EQ(hold(clockwise, 0), 0);  // released before the first tick
    EXPECT_TRUE(state.gir_acumulat == 0.0 && window.passwordMode(Control::Text1));
    EXPECT_EQ(hold(clockwise, 1), 1);
    EXPECT_TRUE(!window.passwordMode(Control::Text1) && window.foreColor(Control::Text1) == kBlack);
    EXPECT_TRUE(hold(clockwise, 9) == 1 && hold(clockwise, 10) == 2);
    EXPECT_EQ(hold(clockwise, 50), 42);  // one second at 20 ms: 7 degrees at most
    EXPECT_EQ(hold(clockwise, 1), 1);    // each press starts counting afresh
    // 47 sixths of a degree, clockwise taking the angle down
    EXPECT_NEAR(state.gir_acumulat, (clockwise ? -47 : 47) * std::numbers::pi / 1080, 1e-12);
    EXPECT_TRUE(!horari.isActive() && !antiHorari.isActive() && state.temporitzacio_mousedown == 0);
  }
}

TEST_F(ShapeEditorTest, mirrorRedrawsEveryPointUnroundedAndTwoClicksRestoreThePicture) {
  state.gir_acumulat = 0.3, editor.redraw();
  const auto original = plot.dots;
  window.setPasswordMode(Control::Text1, true), editor.mirallHoritzontal_Click();
  EXPECT_FALSE(window.passwordMode(Control::Text1));
  ASSERT_EQ(plot.dots.size(), 4095u);
  EXPECT_TRUE(!plot.lines.empty() && plot.refreshes == 2);  // axes after the clear, a refresh per redraw
  const double a = state.forma_treball.angle(7) + 0.3, r = state.forma_treball.radius(7);
  EXPECT_TRUE(plot.dots[6].x == 40 - std::cos(a) * r && plot.dots[6].y == 40 - std::sin(a) * r &&
              plot.dots[6].width == 1);
  editor.mirallHoritzontal_Click();
  EXPECT_EQ(state.signe_x, 1);
  for (std::size_t i = 0; i < original.size(); ++i)
    ASSERT_TRUE(plot.dots[i].x == original[i].x && plot.dots[i].y == original[i].y) << i;
}

}  // namespace
}  // namespace kovrel::preparation
