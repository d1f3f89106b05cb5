#include "common/oma_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

namespace kovrel {
namespace {

TEST(OmaFile, realFilesGiveTheirFirstTraceAndItsBox) {
  const std::filesystem::path folder = std::filesystem::path(KOVREL_FIXTURES) / "oma";
  if (!std::filesystem::exists(folder)) GTEST_SKIP();
  const auto read = [&](const char* name, OmaTrace& trace, std::string& error) {
    std::stringstream text;
    text << std::ifstream(folder / name, std::ios::binary).rdbuf();
    return readOmaTrace(text.str(), trace, &error);
  };
  OmaTrace trace;
  std::string error;
  ASSERT_TRUE(read("R360_3.oma", trace, error)) << error;
  EXPECT_TRUE(trace.count == 360 && trace.side == "R" && trace.radii.front() == 2482);
  EXPECT_TRUE(trace.hbox == 51.00 && trace.vbox == 44.01);
  // Thickness records (with R= lines of their own) come before the trace: they are not radii.
  ASSERT_TRUE(read("STHKFMT.oma", trace, error)) << error;
  EXPECT_EQ(trace.radii.size(), 360u);
  EXPECT_FALSE(read("TRCFMT6.oma", trace, error));
  EXPECT_NE(error.find("format 6"), std::string::npos) << error;
}

TEST(OmaFile, malformedTracesAreRefusedWithTheirReason) {
  for (auto [text, reason] : {std::pair{"JOB=1\r\n", "no TRCFMT"},
                              {"TRCFMT=1;3;E;R;F\r\nR=1;2\r\n", "expected 3 radii, found 2"},
                              {"TRCFMT=1;2;E;R;F\r\nR=1;x\r\n", "malformed radius"},
                              {"TRCFMT=1;2;U;R;F\r\nR=1;2\r\n", "equal angle steps"},
                              {"TRCFMT=1;2;E;X;F\r\nR=1;2\r\n", "unknown side"},
                              {"TRCFMT=1;3;E;R;F\r\nR=1;2\r\nZFMT=1\r\nR=3\r\n", "expected 3 radii"}}) {
    OmaTrace trace;
    std::string error;
    EXPECT_FALSE(readOmaTrace(text, trace, &error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

TEST(OmaFile, writtenTraceReadsBackAndItsOutlineWrapsRoundTheTurn) {
  std::vector<int> radii(23);
  for (int i = 0; i < 23; ++i) radii[i] = 2000 + i * 7;
  const std::string text = writeOmaTrace(radii, 'L');
  EXPECT_EQ(text.substr(0, 32), "TRCFMT=1;23;E;L;D\r\nR=2000;2007;2");
  OmaTrace trace;
  ASSERT_TRUE(readOmaTrace("HBOX=50.5;49.5\n" + text, trace, nullptr));
  EXPECT_EQ(trace.radii, radii);
  EXPECT_EQ(trace.hbox, 49.5);  // the left eye's box

  const auto outline = outlineFromTrace(OmaTrace{4, {2000, 2400, 2000, 1600}, "R", {}, {}});
  const double quarter = std::numbers::pi / 2;
  EXPECT_DOUBLE_EQ(outline(quarter), 24.0);
  EXPECT_DOUBLE_EQ(outline(quarter / 2), 22.0);
  EXPECT_DOUBLE_EQ(outline(3.5 * quarter), 18.0);  // between the last point and the first
  EXPECT_DOUBLE_EQ(outline(-quarter), 16.0);
}

}  // namespace
}  // namespace kovrel
