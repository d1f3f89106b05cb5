// A per-machine installation: its Program Files folder never takes the settings, even where this
// process may write there (elevated, or under Wine); the machine's ProgramData folder does.

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "base/known_folder_windows.h"
#include "program_folder.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;

TEST(ProgramLocationWindows, programFilesNeverTakesTheFileTheMachinesIsInProgramData) {
  const auto programFiles = knownFolder(FOLDERID_ProgramFiles), data = knownFolder(FOLDERID_ProgramData);
  ASSERT_TRUE(programFiles && data);
  const std::wstring name = L"Kovrel-" + std::to_wstring(GetCurrentProcessId());
  const fs::path installed = *programFiles / name, beside = programFiles->wstring() + name;
  std::wstring upper = installed.wstring();
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  const testing::ProgramFolder elsewhere;
  // In another case or with a trailing separator it is the same folder; a name that only begins
  // as Program Files does is not under it.
  for (auto [folder, takes] : {std::pair{installed, false},
                               {fs::path(upper), false},
                               {fs::path(installed.wstring() + L"\\"), false},
                               {beside, true},
                               {elsewhere.path(), true}}) {
    fs::create_directories(folder);
    EXPECT_EQ(folderTakesFiles(folder), takes) << folder;
  }
  EXPECT_EQ(machineSettingsFolder(installed), *data / "Kovrel");
  fs::remove_all(installed), fs::remove_all(beside);
}

}  // namespace
}  // namespace kovrel
