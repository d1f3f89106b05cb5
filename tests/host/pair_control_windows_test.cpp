// The control program run for real (a stand-in for it, built beside this test): where it is looked
// for, arguments arrive as given, output and exit codes come back, a consented run is watched
// without waiting on it, and the pairs it makes are found and moved.
#include "host/pair_control_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <filesystem>

namespace kovrel {
namespace {

namespace fs = std::filesystem;

fs::path standIn() {
  std::array<wchar_t, MAX_PATH> self{};
  GetModuleFileNameW(nullptr, self.data(), MAX_PATH);
  return fs::path(self.data()).parent_path() / L"pair_control_standin.exe";
}

// The event loop's ticks until the run ends (bounded: a real process).
std::optional<ProgramRun> watch(const RunCheck& check) {
  std::optional<ProgramRun> run;
  for (const ULONGLONG end = GetTickCount64() + 20000; !(run = check()) && GetTickCount64() < end;)
    SwitchToThread();
  return run;
}

TEST(PairControlProgram, isFoundOnlyInTheSystemsProgramFoldersNeverBesideThisProgramOrByTheEnvironment) {
  // A planted one beside this program, and in a folder the environment calls Program Files.
  const fs::path own = standIn().parent_path(), planted = own / "planted";
  fs::create_directories(planted / "com0com");
  fs::copy_file(standIn(), own / "setupc.exe", fs::copy_options::overwrite_existing);
  fs::copy_file(standIn(), planted / "com0com" / "setupc.exe", fs::copy_options::overwrite_existing);
  SetEnvironmentVariableW(L"ProgramFiles", planted.c_str());
  SetEnvironmentVariableW(L"ProgramFiles(x86)", planted.c_str());
  const auto folders = systemProgramFolders();
  ASSERT_FALSE(folders.empty());
  for (const auto& folder : folders) EXPECT_TRUE(folder != planted && folder != own) << folder;
  EXPECT_FALSE(findPairControlProgram(folders).has_value());  // no com0com in this Wine prefix
  EXPECT_EQ(findPairControlProgram({own, planted}), planted / "com0com" / "setupc.exe");
  fs::remove(own / "setupc.exe");
  fs::remove_all(planted);
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
  const auto consented = watch(startElevated(standIn(), {"exit", "4"}));
  ASSERT_TRUE(consented.has_value());
  EXPECT_TRUE(consented->started && consented->exitCode == 4);

  EXPECT_FALSE(runProgram(standIn().parent_path() / L"no-such-program.exe", {"list"}).started);
  EXPECT_FALSE(watch(startElevated(standIn().parent_path() / L"no-such-program.exe", {"list"}))->started);
}

TEST(PairControlProgram, aPairMadeThroughTheProgramIsListedAndMoved) {
  fs::remove(standIn().parent_path() / "standin-pairs.txt");
  CommandPairControl control(
      true, [](const Args& args) { return runProgram(standIn(), args); },
      [](const Args& args) { return startElevated(standIn(), args); });
  EXPECT_FALSE(control.nameInUse("COM5"));
  int told = 0;
  const PairControl::Done done = [&](const auto& failure) { told += failure ? 100 : 1; };
  auto settle = [&] {  // the event loop's ticks, bounded: a real process
    for (const ULONGLONG end = GetTickCount64() + 20000; control.changing() && GetTickCount64() < end;)
      control.poll();
  };
  control.create("COM5", done);
  settle();
  EXPECT_TRUE(control.nameInUse("COM5"));
  control.rename(control.pairs().at(0), "COM2", done);
  settle();
  EXPECT_EQ(control.pairs(), (std::vector<PortPair>{{0, "COM2", "COM21"}}));
  EXPECT_EQ(told, 2);
}

}  // namespace
}  // namespace kovrel
