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
using std::numbers::pi;

struct CliRun {
  int code = -1;
  std::string out, err;
};

// "answer - --lens larger" as the argument list.
std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), {}};
}

// kovrel-cli `command` on `stream` given as standard input ("-").
CliRun runOn(const Bytes& stream, const std::string& command, const std::string& options = "") {
  std::istringstream in(std::string(stream.begin(), stream.end()));
  std::ostringstream out, err;
  const int code = runCli(words(command + " - " + options), in, out, err);
  return {code, out.str(), err.str()};
}

// The 800 radii the host decodes from the send's answer (hundredths of a millimetre).
std::vector<int> hostRadii(const Bytes& stream, const std::string& options = "") {
  const CliRun r = runOn(stream, "answer", options);
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

Bytes streamOf(const toolkit::Outline& outline) { return toolkit::buildStream(outline, {}, 1, 1); }

// A rounded rectangle turned 20 degrees: the same after a half turn, so its bounding box stays
// centred on the turntable however it is turned or mirrored, yet its own mirror image differs.
double tilted(double angle) { return toolkit::superellipse(26, 18, 4)(angle - 0.35); }
double mirrored(double angle) { return tilted(pi - angle); }

TEST(CliGolden, outputsMatchTheRecordedExpectations) {
  const std::string folder = std::string(KOVREL_TEST_DATA) + "/cli/";
  std::ifstream cases(folder + "cases.txt");
  ASSERT_TRUE(cases) << "missing " << folder << "cases.txt";
  int checked = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> args = words(line);
    const std::string expectedFile = args.front();
    args.erase(args.begin());
    for (std::string& arg : args)
      if (arg == "STREAM") arg = folder + "offcentre_rect.stream";
    std::istringstream noInput;
    std::ostringstream out, err, expected;
    ASSERT_EQ(runCli(args, noInput, out, err), kExitDone) << line << "\n" << err.str();
    expected << std::ifstream(folder + expectedFile, std::ios::binary).rdbuf();
    EXPECT_TRUE(out.str() == expected.str())
        << "kovrel-cli " << line << "\ndiffers from " << expectedFile
        << "; if the change is intended, run tests/data/cli/regenerate.sh and review the diff";
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

// --- What the outputs show -------------------------------------------------------------------

// The recorded expectations hold the outputs; these check that they agree with each other.
TEST(CliOutputs, omaFileAndDrawingShowTheRadiiTheHostDecodes) {
  const Bytes read = streamOf(toolkit::circle(25.0));
  const std::vector<int> radii = hostRadii(read, "--lens larger");
  const CliRun oma = runOn(read, "oma", "--lens larger");
  ASSERT_EQ(oma.code, kExitDone) << oma.err;
  EXPECT_EQ(oma.out.rfind("TRCFMT=1;800;E;R;D", 0), 0u);
  OmaTrace omaTrace;
  std::string error;
  ASSERT_TRUE(readOmaTrace(oma.out, omaTrace, &error)) << error;
  EXPECT_EQ(omaTrace.radii, radii);

  // True size: a circle of radius r is 2r across, plus the drawing's 2 mm margins.
  const CliRun svg = runOn(read, "svg", "--lens larger");
  ASSERT_EQ(svg.code, kExitDone) << svg.err;
  const auto widthAt = svg.out.find("width=\"");
  ASSERT_NE(widthAt, std::string::npos);
  EXPECT_NEAR(std::stod(svg.out.substr(widthAt + 7)), 2 * radii[0] / 100.0 + 4.0, 0.03);
  EXPECT_NE(svg.out.find("mm\" height=\""), std::string::npos);
}

// --- What the options do to the shape the host receives --------------------------------------

// Two traces of the same outline read differently (mirrored or turned on the screen, or placed so
// on the turntable) agree to the arm's resolution, apart from the probe-tip correction, which
// leans the way the trace runs: a tenth of a millimetre at most, two hundredths on average. A
// shape turned or mirrored the wrong way misses by whole millimetres.
TEST(CliEditing, mirrorAndTurnStepsGiveTheTraceOfTheShapeAsShown) {
  const Bytes read = streamOf(tilted);
  const double turn = 27 * kTurnStep;  // 4.5 degrees
  const auto turnedLeft = [turn](double a) { return tilted(a - turn); };
  const auto turnedRight = [turn](double a) { return tilted(a + turn); };
  EXPECT_GT(largestDifference(hostRadii(read), hostRadii(streamOf(mirrored))), 100)
      << "the shape is not symmetric";
  EXPECT_GT(largestDifference(hostRadii(streamOf(turnedLeft)), hostRadii(streamOf(turnedRight))), 50);
  const std::pair<std::string, toolkit::Outline> rows[] = {
      {"--mirror", mirrored},
      {"--turn-steps 27", turnedLeft},
      {"--turn-steps -27", turnedRight},
      // a mirrored shape still turns the way the button shows
      {"--mirror --turn-steps 27", [turn](double a) { return mirrored(a - turn); }}};
  for (const auto& [options, shown] : rows) {
    SCOPED_TRACE(options);
    const std::vector<int> edited = hostRadii(read, options), expected = hostRadii(streamOf(shown));
    ASSERT_EQ(edited.size(), expected.size());
    double sum = 0;
    for (std::size_t i = 0; i < edited.size(); ++i) sum += std::abs(edited[i] - expected[i]);
    EXPECT_LE(largestDifference(edited, expected), 12);
    EXPECT_LE(sum / static_cast<double>(edited.size()), 3.0);
  }
}

TEST(CliEditing, sizeOffsetsAddHalfTheirSumToEveryRadiusAndTheFilterReachesTheTipCompensation) {
  const Bytes read = streamOf(tilted);
  const std::vector<int> plain = hostRadii(read);
  // Options, and the hundredths they add to every radius; beyond half a millimetre the panel
  // turns a manual offset into 0.
  const std::pair<std::string, int> rows[] = {
      {"--lens larger", 10}, {"--lens smaller", -5}, {"--manual 0.1", 5},
      {"--general 0.3", 15}, {"--manual 0.7", 0},    {"--lens smaller --manual 0.5 --general -0.2", 10}};
  for (const auto& [options, hundredths] : rows) {
    const std::vector<int> sized = hostRadii(read, options);
    ASSERT_EQ(sized.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
      ASSERT_EQ(sized[i] - plain[i], hundredths) << options << ", radius " << i;
  }
  EXPECT_NE(hostRadii(read, "--filter 3"), hostRadii(read, "--filter 60"));
  EXPECT_EQ(plain, hostRadii(read, "--filter 3")) << "3 is the installed setting";
}

// --- Reads the program stops, and the command line -------------------------------------------

TEST(CliStoppedRead, programsMessageGoesToStandardErrorAndTheExitFails) {
  const Bytes good = streamOf(toolkit::ellipse(28, 20));
  const std::pair<tools::Fault, std::string_view> rows[] = {
      {tools::Fault::WrongFirstByte, texts::kPressReadFirst},
      {tools::Fault::BelowRange, texts::kShapeOutOfRange},
      {tools::Fault::HighByte, texts::kProgramErrorRestart},
      {tools::Fault::Truncated, texts::kReadAborted},
      {tools::Fault::Garbage, texts::kPressReadFirst}};
  for (const auto& [fault, message] : rows) {
    for (const char* command : {"trace", "answer"}) {
      SCOPED_TRACE(std::string(tools::faultName(fault)) + " " + command);
      const CliRun r = runOn(tools::applyFault(good, fault, {}), command);
      EXPECT_EQ(r.code, kExitStopped);
      EXPECT_EQ(r.err.substr(0, r.err.find('\n')), message);
      EXPECT_TRUE(r.out.empty());
    }
  }
  const CliRun empty = runOn({}, "oma");
  EXPECT_EQ(empty.code, kExitStopped);
  EXPECT_EQ(empty.err.substr(0, empty.err.find('\n')), texts::kReadAborted);
}

TEST(CliCommandLine, mistakesAndMissingFilesExitWithUsage) {
  std::istringstream in;
  std::ostringstream out, err;
  for (const char* args :
       {"", "draw -", "answer", "answer - --lens huge", "answer - --turn-steps 2.5", "answer - --manual abc",
        "trace - --mirror", "answer a.bin b.bin", "trace /no/such/read.bin", "trace - --filter -2147483648",
        "answer - --filter 1e20", "answer - --filter nan", "answer - --turn-steps 2161",
        "answer - --turn-steps -2147483647"}) {
    err.str("");
    EXPECT_EQ(runCli(words(args), in, out, err), kExitUsage) << args;
    EXPECT_FALSE(err.str().empty()) << args;
  }
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
