// kovrel-cli against recorded expectations: a recorded read of an off-centre rounded rectangle,
// its trace, edited shapes, OMA files and answers (tests/data/cli/cases.txt).

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "archive/trace_file.h"
#include "base/texts.h"
#include "cli_args.h"
#include "cli_run.h"
#include "file_bytes.h"
#include "headless_program.h"

namespace kovrel::cli {
namespace {

TEST(CliGolden, outputsMatchTheRecordedExpectations) {
  const std::string folder = std::string(KOVREL_TEST_DATA) + "/cli/";
  std::ifstream cases(folder + "cases.txt");
  ASSERT_TRUE(cases) << "missing " << folder << "cases.txt";
  int checked = 0;
  for (std::string line, expectedFile; std::getline(cases, line);) {
    std::istringstream words(line), noInput;
    if (!(words >> expectedFile) || expectedFile[0] == '#') continue;  // blank or a comment
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    for (std::string& arg : args) {
      if (arg == "STREAM") arg = folder + "offcentre_rect.stream";
      if (arg.starts_with("DATA/")) arg = folder + arg.substr(5);
    }
    std::ostringstream out, err;
    ASSERT_EQ(runCli(args, noInput, out, err), kExitDone) << line << "\n" << err.str();
    EXPECT_TRUE(out.str() == testing::fileBytes(folder + expectedFile))
        << "kovrel-cli " << line << "\ndiffers from " << expectedFile
        << "; if the change is intended, run tests/data/cli/regenerate.sh and review the diff";
    ++checked;
  }
  EXPECT_GE(checked, 5);
  // The archive's file gives the radii the host rebuilt from the same send.
  OmaTrace kept, decoded;
  ASSERT_TRUE(readOmaTrace(testing::fileBytes(folder + "offcentre_rect.edited.vca"), kept, nullptr));
  ASSERT_TRUE(readOmaTrace(testing::fileBytes(folder + "offcentre_rect.edited.oma"), decoded, nullptr));
  EXPECT_EQ(kept.radii, decoded.radii);
}

// One program read after read, as the soak benchmark runs it: dropping what the in-memory window
// and ports recorded must not change what the program sends, and neither must the reads before.
TEST(HeadlessProgramRuns, everyReadAndSendAnswersAsTheFirstAndTheCommandTakesOnlyItsDocumentedExtremes) {
  const std::string folder = std::string(KOVREL_TEST_DATA) + "/cli/";
  const std::string streamFile = testing::fileBytes(folder + "offcentre_rect.stream"),
                    answerFile = testing::fileBytes(folder + "offcentre_rect.answer.bin");
  const std::vector<std::uint8_t> stream(streamFile.begin(), streamFile.end());
  const oma::Bytes recorded(answerFile.begin(), answerFile.end());
  HeadlessProgram program(3.0, 0.0);
  for (int n = 1; n <= 4; ++n) {
    oma::Bytes answer;
    ASSERT_TRUE(program.read(stream)) << "read " << n << ": " << program.message();
    ASSERT_TRUE(program.send(LensType::Same, true, std::nullopt, answer)) << "send " << n;
    EXPECT_TRUE(answer == recorded) << "send " << n << " differs from offcentre_rect.answer.bin";
    if (n % 2 == 0) program.forgetRecordings();
  }
  // The documented extremes are taken; beyond them the command exits before anything runs: a filter of
  // billions would overflow the tip compensation's row lookup, a turn count of billions run for days.
  std::string error;
  EXPECT_TRUE(parseCliArgs({"answer", "-", "--filter", "-4095", "--filter", "4095", "--turn-steps", "-2160",
                            "--turn-steps", "2160"},
                           error));
  for (const char* line :
       {"trace - --filter -2147483648", "answer - --filter 1e20", "answer - --filter nan",
        "answer - --turn-steps 2161", "answer - --turn-steps -2147483647", "", "trace -q", "send -"}) {
    std::istringstream words(line), noInput;
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    std::ostringstream out, err;
    EXPECT_EQ(runCli(args, noInput, out, err), kExitUsage) << line;
    EXPECT_NE(err.str().find(cliUsage()), std::string::npos) << line;  // refused before anything runs
  }
  EXPECT_TRUE(!parseCliArgs({"frob"}, error) && error == "unknown command 'frob'") << error;
  EXPECT_TRUE(!parseCliArgs({"answer", "-", "--manual", "2x"}, error) &&
              error == "--manual takes a number of millimetres, not '2x'")
      << error;
  EXPECT_TRUE(!parseCliArgs({"trace", "-", "--tcp", "127.0.0.1:5"}, error) &&
              error == "--tcp names the host's link of send, once");
  for (const char* help : {"--help", "-h", "help"})
    EXPECT_TRUE(parseCliArgs({help, "x"}, error).value().help);
  // A file over the size limit is refused unread; a read cut short is stopped as the operator would.
  std::istringstream huge(std::string(kMaxTraceFileBytes + 1, 'x')), cut(streamFile.substr(0, 5000));
  std::ostringstream out, err;
  EXPECT_TRUE(runCli({"measure", "-"}, huge, out, err) == kExitUsage &&
              runCli({"trace", "-"}, cut, out, err) == kExitStopped);
  EXPECT_TRUE(err.str().find("como mucho") != std::string::npos &&
              err.str().find(texts::kReadAborted) != std::string::npos)
      << err.str();
}

}  // namespace
}  // namespace kovrel::cli
