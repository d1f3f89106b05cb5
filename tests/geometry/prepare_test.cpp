#include "geometry/prepare.h"

#include <gtest/gtest.h>

#include "common/tracer_stream.h"
#include "outline_traces.h"

namespace kovrel {
namespace {

using namespace testing;

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
  expectHostOutline(mm, seen);
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
