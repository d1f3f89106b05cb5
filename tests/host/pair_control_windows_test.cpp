// The control program run for real (a stand-in for it, built beside this test): arguments arrive
// as given, output and exit codes come back, and the pairs it makes are found and removed.
#include "host/pair_control_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <filesystem>

#include "base/texts.h"

namespace kovrel {
namespace {

std::filesystem::path standIn() {
  std::array<wchar_t, MAX_PATH> self{};
  GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
  return std::filesystem::path(self.data()).parent_path() / L"pair_control_standin.exe";
}

TEST(PairControlProgram, argumentsArriveWholeAndOutputAndExitCodeComeBack) {
  const std::vector<std::string> args = {"PortName=COM5", "two words", "a \"quoted\" one", "ends\\", ""};
  const ProgramRun echo = runProgram(standIn(), [&] {
    auto all = args;
    all.insert(all.begin(), "echo-args");
    return all;
  }());
  ASSERT_TRUE(echo.started);
  std::string expected;
  for (const auto& a : args) expected += a + "\r\n";
  EXPECT_EQ(echo.output, expected);
  EXPECT_EQ(echo.exitCode, 0);

  const ProgramRun failed = runProgram(standIn(), {"exit", "3"});
  EXPECT_EQ(failed.exitCode, 3);
  EXPECT_NE(failed.output.find("asked to fail"), std::string::npos);  // standard error too

  const ProgramRun missing = runProgram(standIn().parent_path() / L"no-such-program.exe", {"list"});
  EXPECT_FALSE(missing.started);
}

TEST(PairControlProgram, aPairMadeThroughTheProgramIsListedAndRemoved) {
  std::filesystem::remove(standIn().parent_path() / "standin-pairs.txt");
  CommandPairControl control(
      true, [](const std::vector<std::string>& args) { return runProgram(standIn(), args); });
  EXPECT_FALSE(control.nameInUse("COM5"));
  const PortPair pair = control.create("COM5");
  EXPECT_EQ(pair, (PortPair{0, "COM5", "COM21"}));
  EXPECT_TRUE(control.nameInUse("COM5"));
  control.remove(pair);
  EXPECT_TRUE(control.pairs().empty());
}

}  // namespace
}  // namespace kovrel
