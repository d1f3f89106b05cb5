#include "settings/program_location.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

// Whatever the working folder, the settings are looked for beside the program itself.
TEST(ProgramLocation, theFolderHoldsTheRunningProgram) {
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::temp_directory_path());  // started from elsewhere
  const std::filesystem::path folder = runningProgramFolder();
  std::filesystem::current_path(started);
  EXPECT_TRUE(folder.is_absolute()) << folder;
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / KOVREL_TEST_PROGRAM)) << folder;
}

}  // namespace
}  // namespace kovrel
