#include "geometry/prepare.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/oma_file.h"
#include "common/tracer_stream.h"
#include "outline_traces.h"

namespace kovrel {
namespace {

using namespace testing;

// On a smooth stretch the tip term adds radi_punta·(1 − sin 90), the 90 being the plain number
// met by radians: about 0.066 mm with the 0.625 mm tip. Steep flanks get more, never less.
const double kSmoothGrowthMm = 0.625 * (1 - std::sin(90.0));
constexpr double kAllowanceMm = 0.05;
// The compensation also turns the outline by about 0.8° (each point is built from the row two
// steps on, shifted along the tip's tangent), which moves the box of an asymmetric frame by up
// to 0.08 mm.
constexpr double kBoxToleranceMm = 0.1;
constexpr double kWindowRad = 0.025;  // how far from its nominal angle a sent radius may come from

PrepareInputs inputs(double turn = 0, int mirror = 1) {
  PrepareInputs in;
  in.serial_number = "0042";
  in.gir_acumulat = turn;
  in.signe_x = mirror;
  return in;
}

double egg(double a) { return 24 + 3 * std::cos(a) + 1.5 * std::sin(2 * a); }  // no symmetry

// The host's outline is `seen` (as the operator left it on screen, about its box centre) grown
// by the tip and the allowance.
void expectHostGets(const PreparedShape& shape, const OutlineFn& seen) {
  const auto decoded = decodeAsHost(shape.forma_auxiliar);
  ASSERT_EQ(decoded, shape.radii);
  std::vector<double> mm;
  for (double r : decoded) mm.push_back(r / 100);
  Box want;
  const OutlineFn expected = aboutBoxCentre(seen, &want);
  const Box got = boxOf(mm);
  const double grown = 2 * (kSmoothGrowthMm + kAllowanceMm);
  EXPECT_NEAR(got.width, want.width + grown, kBoxToleranceMm);
  EXPECT_NEAR(got.height, want.height + grown, kBoxToleranceMm);
  for (int i = 0; i < 800; ++i) {
    double lo = 1e9, hi = 0;
    for (double d = -kWindowRad; d <= kWindowRad; d += kWindowRad / 50) {
      lo = std::min(lo, expected(kTurn * i / 800 + d));
      hi = std::max(hi, expected(kTurn * i / 800 + d));
    }
    const double r = mm[i] - kAllowanceMm, slack = 0.015;  // whole hundredths
    ASSERT_TRUE(r >= lo - slack && r <= hi + kSmoothGrowthMm + slack) << "radius " << i << ": " << r << " mm";
  }
}

TEST(Prepare, offsetsMoveEveryRadiusWhileOnlyTheManualOneCountsInTheSizes) {
  const TraceTable read = traceOf(toolkit::superellipse(26, 18, 6)), copy = read;
  const PreparedShape plain = prepareShape(copy, inputs(0.2, -1));
  PrepareInputs in = inputs(0.2, -1);
  in.manualOffsetMm = 0.2, in.normalOaire = 0.2, in.OffsetMida = -0.1;
  const PreparedShape offset = prepareShape(copy, in);
  EXPECT_DOUBLE_EQ(offset.offset_radi, 15);
  for (int n = 0; n < 800; ++n) {
    ASSERT_EQ(std::fmod(plain.radii[n], 1.0), 0.0) << n;  // whole hundredths plus the 5 allowance
    ASSERT_DOUBLE_EQ(offset.radii[n], plain.radii[n] + 15) << n;
  }
  EXPECT_DOUBLE_EQ(offset.mida_h, plain.mida_h + 20);
  EXPECT_DOUBLE_EQ(offset.mida_v, plain.mida_v + 20);
  EXPECT_EQ(offset.plotPoints, plain.plotPoints);
  // Preparing again gives the same shape: the read is left alone.
  EXPECT_EQ(copy, read);
  const PreparedShape again = prepareShape(copy, in);
  EXPECT_TRUE(again.forma_auxiliar == offset.forma_auxiliar && again.mida_h == offset.mida_h);
}

TEST(RoundTrip, outlinesReachTheHostTurnedAndMirroredAsTheOperatorSawThem) {
  const double turn = 0.25;  // radians; the screen turns first and mirrors x afterwards
  const std::tuple<const char*, OutlineFn, PrepareInputs, OutlineFn> cases[] = {
      {"circle", toolkit::circle(25), inputs(), toolkit::circle(25)},
      {"ellipse", toolkit::ellipse(28, 20), inputs(), toolkit::ellipse(28, 20)},
      {"rounded rectangle", toolkit::superellipse(26, 18, 6), inputs(), toolkit::superellipse(26, 18, 6)},
      {"off-centre", toolkit::offCentre(toolkit::ellipse(27, 19), 3, -2), inputs(), toolkit::ellipse(27, 19)},
      {"egg turned", egg, inputs(turn, 1), [&](double a) { return egg(a - turn); }},
      {"egg turned and mirrored", egg, inputs(turn, -1),
       [&](double a) { return egg(kTurn / 2 - a - turn); }}};
  for (const auto& [name, outline, in, seen] : cases) {
    SCOPED_TRACE(name);
    expectHostGets(prepareShape(traceOf(outline), in), seen);
  }
}

TEST(RoundTrip, realFrameOutlinesReachTheHost) {
  const std::filesystem::path folder = std::filesystem::path(KOVREL_FIXTURES) / "oma";
  if (!std::filesystem::exists(folder)) GTEST_SKIP() << "no frame outlines at " << folder;
  for (const char* name : {"R360_1", "R360_2", "R360_3", "R1000_1", "R1000_2", "R1000_3", "STHKFMT"}) {
    SCOPED_TRACE(name);
    std::stringstream text;
    text << std::ifstream(folder / (std::string(name) + ".oma"), std::ios::binary).rdbuf();
    OmaTrace trace;
    ASSERT_TRUE(readOmaTrace(text.str(), trace, nullptr));
    expectHostGets(prepareShape(traceOf(outlineFromTrace(trace)), inputs()), outlineFromTrace(trace));
  }
}

TEST(RoundTrip, squareCorneredNotchDecodesBackToTheTrueRadiiAfterEachWall) {
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

}  // namespace
}  // namespace kovrel
