// kovrel-cli: its outputs against recorded expectations, what its options do to the shape the
// host receives, and how it ends on the reads the program stops.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

#include "app/texts.h"
#include "cli_run.h"
#include "common/oma_file.h"
#include "common/tracer_stream.h"
#include "geometry/shape_editor.h"
#include "host/oma_framing.h"
#include "read_source.h"
#include "settings/settings_file.h"

namespace kovrel::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

CliRun runOn(const Bytes& stream, std::vector<std::string> args) {
  std::istringstream in(std::string(stream.begin(), stream.end()));
  std::ostringstream out, err;
  CliRun r;
  r.code = runCli(args, in, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

// Arguments with "-" as the STREAM, so the read comes from memory.
std::vector<std::string> withStdin(const std::string& command, std::vector<std::string> options = {}) {
  std::vector<std::string> args{command, "-"};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

// The 800 radii the host decodes from the send's answer (hundredths of a millimetre).
std::vector<int> hostRadii(const Bytes& stream, std::vector<std::string> options = {}) {
  const CliRun r = runOn(stream, withStdin("answer", std::move(options)));
  EXPECT_EQ(r.code, kExitDone) << r.err;
  std::vector<int> radii;
  std::string error;
  EXPECT_TRUE(oma::decodeAnswerRadii(Bytes(r.out.begin(), r.out.end()), radii, &error)) << error;
  return radii;
}

int largestDifference(const std::vector<int>& a, const std::vector<int>& b) {
  EXPECT_EQ(a.size(), b.size());
  int worst = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// Two traces of the same outline read differently (mirrored or turned on the screen, or placed
// so on the turntable) agree to the arm's resolution, apart from the probe-tip correction,
// which leans the way the trace runs: a tenth of a millimetre at most, two hundredths on average.
// A shape turned or mirrored the wrong way misses by whole millimetres.
void expectSameOutline(const std::vector<int>& a, const std::vector<int>& b) {
  ASSERT_EQ(a.size(), b.size());
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i] - b[i]);
  EXPECT_LE(largestDifference(a, b), 12);
  EXPECT_LE(sum / static_cast<double>(a.size()), 3.0);
}

Bytes streamOf(const toolkit::Outline& outline) { return toolkit::buildStream(outline, {}, 1, 1); }

// A rounded rectangle turned 20 degrees: the same after a half turn, so its bounding box stays
// centred on the turntable however it is turned or mirrored, yet its own mirror image differs.
double tilted(double angle) { return toolkit::superellipse(26, 18, 4)(angle - 0.35); }

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// --- Recorded expectations -------------------------------------------------------------------

TEST(CliGolden, outputsMatchTheRecordedExpectations) {
  const std::string folder = std::string(KOVREL_TEST_DATA) + "/cli/";
  std::ifstream cases(folder + "cases.txt");
  ASSERT_TRUE(cases) << "missing " << folder << "cases.txt";
  int checked = 0;
  std::string line;
  while (std::getline(cases, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string expectedFile, word;
    words >> expectedFile;
    std::vector<std::string> args;
    while (words >> word) args.push_back(word == "STREAM" ? folder + "offcentre_rect.stream" : word);

    std::istringstream noInput;
    std::ostringstream out, err;
    ASSERT_EQ(runCli(args, noInput, out, err), kExitDone) << line << "\n" << err.str();
    EXPECT_TRUE(out.str() == fileText(folder + expectedFile))
        << "kovrel-cli " << line << "\ndiffers from " << expectedFile
        << "; if the change is intended, run tests/data/cli/regenerate.sh and review the diff";
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

// --- The read --------------------------------------------------------------------------------

TEST(CliTrace, circleReadsBackAsItsRadiusOnEveryPoint) {
  const CliRun r = runOn(streamOf(toolkit::circle(25.0)), withStdin("trace"));
  ASSERT_EQ(r.code, kExitDone) << r.err;
  std::istringstream lines(r.out);
  int expectedRow = 1;
  int row = 0;
  double angle = 0, radius = 0;
  while (lines >> row >> angle >> radius) {
    ASSERT_EQ(row, expectedRow++);
    ASSERT_NEAR(radius, 25.0, 0.02) << "point " << row;  // within a count or two of the arm
    ASSERT_GE(angle, 0.0);
    ASSERT_LE(angle, 2 * std::numbers::pi + 0.01);
  }
  EXPECT_EQ(expectedRow, 4096) << "points 1..4095";
  EXPECT_TRUE(r.err.empty());
}

// --- What the options do to the shape the host receives --------------------------------------

TEST(CliEditing, mirrorGivesTheMirrorImagesTrace) {
  const Bytes read = streamOf(tilted);
  const Bytes mirrorImage = streamOf([](double a) { return tilted(std::numbers::pi - a); });
  EXPECT_GT(largestDifference(hostRadii(read), hostRadii(mirrorImage)), 100)
      << "the shape must not be symmetric";
  expectSameOutline(hostRadii(read, {"--mirror"}), hostRadii(mirrorImage));
}

TEST(CliEditing, turnStepsGiveTheTurnedShapesTrace) {
  const Bytes read = streamOf(tilted);
  const double turn = 27 * kTurnStep;  // 4.5 degrees
  const Bytes turnedLeft = streamOf([turn](double a) { return tilted(a - turn); });
  const Bytes turnedRight = streamOf([turn](double a) { return tilted(a + turn); });
  expectSameOutline(hostRadii(read, {"--turn-steps", "27"}), hostRadii(turnedLeft));
  expectSameOutline(hostRadii(read, {"--turn-steps", "-27"}), hostRadii(turnedRight));
  EXPECT_GT(largestDifference(hostRadii(turnedLeft), hostRadii(turnedRight)), 50);
}

TEST(CliEditing, mirroredShapeStillTurnsTheWayTheButtonShows) {
  const double turn = 27 * kTurnStep;
  const Bytes read = streamOf(tilted);
  const Bytes mirroredThenTurned =
      streamOf([turn](double a) { return tilted(std::numbers::pi - (a - turn)); });
  expectSameOutline(hostRadii(read, {"--mirror", "--turn-steps", "27"}), hostRadii(mirroredThenTurned));
}

TEST(CliEditing, sizeOffsetsAddHalfTheirSumToEveryRadius) {
  const Bytes read = streamOf(tilted);
  const std::vector<int> plain = hostRadii(read);
  struct Case {
    std::vector<std::string> options;
    int hundredths;  // added to every radius
  };
  const Case cases[] = {
      {{"--lens", "larger"}, 10},
      {{"--lens", "smaller"}, -5},
      {{"--manual", "0.1"}, 5},
      {{"--general", "0.3"}, 15},
      {{"--lens", "smaller", "--manual", "0.5", "--general", "-0.2"}, 10},
      {{"--manual", "0.7"}, 0},  // beyond half a millimetre the panel turns it into 0
  };
  for (const Case& c : cases) {
    const std::vector<int> sized = hostRadii(read, c.options);
    ASSERT_EQ(sized.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
      ASSERT_EQ(sized[i] - plain[i], c.hundredths)
          << c.options.front() << " " << c.options.at(1) << " radius " << i;
  }
}

TEST(CliEditing, filterSettingReachesTheProbeTipCompensation) {
  const Bytes read = streamOf(tilted);
  EXPECT_NE(hostRadii(read, {"--filter", "3"}), hostRadii(read, {"--filter", "60"}));
  EXPECT_EQ(hostRadii(read), hostRadii(read, {"--filter", "3"})) << "3 is the installed setting";
}

TEST(CliOutputs, omaFileAndDrawingShowTheRadiiTheHostDecodes) {
  const Bytes read = streamOf(toolkit::circle(25.0));
  const std::vector<int> radii = hostRadii(read, {"--lens", "larger"});

  const CliRun oma = runOn(read, withStdin("oma", {"--lens", "larger"}));
  ASSERT_EQ(oma.code, kExitDone) << oma.err;
  EXPECT_EQ(oma.out.rfind("TRCFMT=1;800;E;R;D", 0), 0u);
  OmaTrace trace;
  std::string error;
  ASSERT_TRUE(readOmaTrace(oma.out, trace, &error)) << error;
  EXPECT_EQ(trace.radii, radii);

  // True size: a circle of radius r is 2r across, plus the drawing's 2 mm margins.
  const CliRun svg = runOn(read, withStdin("svg", {"--lens", "larger"}));
  ASSERT_EQ(svg.code, kExitDone) << svg.err;
  const auto widthAt = svg.out.find("width=\"");
  ASSERT_NE(widthAt, std::string::npos);
  const double widthMm = std::stod(svg.out.substr(widthAt + 7));
  EXPECT_NEAR(widthMm, 2 * radii[0] / 100.0 + 4.0, 0.03);
  EXPECT_NE(svg.out.find("mm\" height=\""), std::string::npos);
}

// --- Reads the program stops -----------------------------------------------------------------

TEST(CliStoppedRead, programsMessageGoesToStandardErrorAndTheExitFails) {
  const toolkit::TracerCalibration cal;
  const Bytes good = streamOf(toolkit::ellipse(28, 20));
  struct Case {
    tools::Fault fault;
    std::string_view message;
  };
  const Case cases[] = {
      {tools::Fault::WrongFirstByte, texts::kPressReadFirst},
      {tools::Fault::BelowRange, texts::kShapeOutOfRange},
      {tools::Fault::HighByte, texts::kProgramErrorRestart},
      {tools::Fault::Truncated, texts::kReadAborted},
      {tools::Fault::Garbage, texts::kPressReadFirst},
  };
  for (const Case& c : cases) {
    for (const char* command : {"trace", "answer"}) {
      const CliRun r = runOn(tools::applyFault(good, c.fault, cal), withStdin(command));
      EXPECT_EQ(r.code, kExitStopped) << tools::faultName(c.fault);
      EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message) << tools::faultName(c.fault);
      EXPECT_TRUE(r.out.empty()) << tools::faultName(c.fault);
    }
  }
  const CliRun empty = runOn({}, withStdin("oma"));
  EXPECT_EQ(empty.code, kExitStopped);
  EXPECT_EQ(empty.err.substr(0, empty.err.find('\n')), texts::kReadAborted);
}

TEST(CliCommandLine, mistakesAndMissingFilesExitWithUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"draw", "-"},
      {"answer"},
      {"answer", "-", "--lens", "huge"},
      {"answer", "-", "--turn-steps", "2.5"},
      {"answer", "-", "--manual", "abc"},
      {"trace", "-", "--mirror"},
      {"answer", "a.bin", "b.bin"},
      {"trace", "/no/such/read.bin"},
  };
  for (const auto& args : wrong) {
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runCli(args, in, out, err), kExitUsage) << (args.empty() ? "" : args.front());
    EXPECT_FALSE(err.str().empty());
  }
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(runCli({"--help"}, in, out, err), kExitDone);
  EXPECT_NE(out.str().find("--turn-steps"), std::string::npos);
}

TEST(CliSettingsFile, installsTheDefaultFileButNeverReplacesALabsFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kovrel-cli-settings-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::istringstream in;
  std::ostringstream out, err;
  ASSERT_EQ(runCli({"settings-file", folder.string()}, in, out, err), kExitDone) << err.str();
  SettingsFile settings(folder);
  SharedState state;
  EXPECT_FALSE(settings.carrega_dades(state).replacedByDefault);
  EXPECT_TRUE(state.primera_instalacio == 10);  // start-up opens the virtual port

  std::ofstream(folder / kSettingsFileName, std::ios::binary | std::ios::trunc) << "[COMM]=7\r\n";
  ASSERT_EQ(runCli({"settings-file", folder.string()}, in, out, err), kExitDone);
  std::ifstream kept(folder / kSettingsFileName, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "[COMM]=7\r\n");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kovrel::cli
