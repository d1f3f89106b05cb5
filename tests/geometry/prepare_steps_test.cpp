#include "geometry/prepare_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "common/tracer_stream.h"
#include "geometry/prepare.h"
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

TEST(TipCompensation, tipRadiusFollowsTheSerialNumber) {
  for (auto [serial, mm] :
       {std::pair{"60", 0.625}, {"0042", 0.625}, {"", 0.625}, {"61", 0.65}, {"777777", 0.65}})
    EXPECT_EQ(probeTipRadius(serial), mm) << serial;
}

TEST(TipCompensation, degenerateNeighboursNeverGiveNaN) {
  // Row 1 (angle, radius) and its neighbour row 2: the same spot, a radial wall, the centre,
  // and a neighbour whose angle makes the tip's tangent vanish.
  for (auto [a1, r1, a2, r2] : {std::tuple{0.5, 20.0, 0.5, 20.0},
                                {0.5, 20.0, 0.5, 21.0},
                                {0.5, 0.0, 0.6, 0.0},
                                {90.0, 10.0, 0.0, 10.0}}) {
    TraceTable t = traceOf(toolkit::circle(20));
    t.angle(1) = a1, t.radius(1) = r1, t.angle(2) = a2, t.radius(2) = r2;
    compensateTip(t, 0.625, 2);
    EXPECT_TRUE(std::isfinite(t.angle(1)) && std::isfinite(t.radius(1))) << a1 << " " << r1 << " " << a2;
  }
}

TEST(TipCompensation, anyFilterValueWrapsRoundTheTurnWithoutLeavingTheIntegerRange) {
  const TraceTable read = traceOf(toolkit::ellipse(30, 20));
  // Run by the sanitizer build: no value may overflow the row lookup or its conversion.
  for (double wild : {-2147483648.0, 1e20, std::nan(""), HUGE_VAL}) {
    TraceTable t = read;
    compensateTip(t, 0.625, wild);
    EXPECT_TRUE(std::isfinite(t.radius(4095)) && std::isfinite(t.angle(1))) << wild;
  }
  EXPECT_TRUE(filterInRange(-4095) && filterInRange(4095) && !filterInRange(4095.5));
  EXPECT_FALSE(filterInRange(std::nan("")) || filterInRange(-1e20));
}

TEST(SeamSort, sortedTraceRepeatsTheFirstEndRowAndAStalledSortKeepsEveryPointInOrder) {
  const TraceTable before = traceOf(toolkit::ellipse(30, 20));
  TraceTable t = before;
  EXPECT_EQ(normaliseAndSortSeam(t), 400);  // the last candidate is lost
  for (int i = 1; i <= kPoints; ++i) ASSERT_EQ(t.angle(i), before.angle(i <= 3895 ? i : i - 1)) << i;

  // A seam row at exactly 1 radian is neither small nor large: the selection stalls on it.
  t = before;
  t.angle(150) = 1.0;
  const auto points = [&] {
    std::vector<std::pair<double, double>> p;
    for (int i = 1; i <= kPoints; ++i) p.emplace_back(t.angle(i), t.radius(i));
    return p;
  };
  auto unsorted = points();
  EXPECT_LT(normaliseAndSortSeam(t), 400);
  std::sort(unsorted.begin(), unsorted.end());
  EXPECT_EQ(points(), unsorted);
}

TEST(Resampling, nearerRowIsTakenAndATieKeepsTheRowBeyond) {
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
}

TEST(Resampling, plotPositionsRoundToTenthsHalvesToEven) {
  for (auto [radius, plotX] : {std::pair{0.25, 40.2}, {0.45, 40.4}, {-0.25, 39.8}, {12.34, 52.3}}) {
    TraceTable t = traceOf(toolkit::circle(20)), out;
    t.angle(1) = 0, t.radius(1) = radius, t.angle(2) = 1.0;  // row 1 is nearest the first target
    const auto points = resample(t, out);
    ASSERT_EQ(points.size(), 799u);
    EXPECT_TRUE(points[0].first == plotX && points[0].second == 40.0) << radius << " " << points[0].first;
  }
}

TEST(Coding, spikeIsSmoothedOnlyWhenItsNeighboursAgreeWithinOneHundredth) {
  for (auto [before, row, after, expected] : {std::tuple{1000, 1005, 1000, 1000},
                                              {1000, 1005, 1001, 1000},
                                              {1000, 1005, 999, 999},
                                              {1000, 995, 1001, 1000},
                                              {1000, 1005, 1002, 1005},
                                              {1000, 1005, 1010, 1005}}) {
    TraceTable t = rowsWithRadii({double(before), double(row), double(after)});
    filterSpikes(t);
    EXPECT_EQ(t.radius(2), expected) << before << " " << row << " " << after;
  }
  TraceTable t = rowsWithRadii({1000, 1004, 1001, 1005});
  filterSpikes(t);
  EXPECT_EQ(t.radius(3), 1001);  // row 2, smoothed to 1000, is row 3's left neighbour
}

TEST(Coding, differencesAreBytesAndAClampedStepCatchesUpAfterwards) {
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

}  // namespace
}  // namespace kovrel::preparation
