// A per-machine installation's Program Files folder never takes the settings file, even where
// this process may write there (elevated, under Wine): the machine's settings are in ProgramData.

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "base/known_folder_windows.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

TEST(ProgramLocationWindows, programFilesNeverTakesTheFileTheMachinesIsInProgramData) {
  const auto programFiles = knownFolder(FOLDERID_ProgramFiles);
  const std::wstring name = L"Kovrel-" + std::to_wstring(GetCurrentProcessId());
  const std::filesystem::path installed = *programFiles / name, beside = programFiles->wstring() + name;
  std::wstring upper = installed.wstring();  // the same folder to Windows
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  for (auto [folder, takes] :
       {std::pair{installed, false}, {std::filesystem::path(upper), false}, {beside, true}}) {
    std::filesystem::create_directories(folder);
    EXPECT_EQ(folderTakesFiles(folder), takes) << folder;
  }
  EXPECT_EQ(machineSettingsFolder(installed), *knownFolder(FOLDERID_ProgramData) / "Kovrel");
  std::filesystem::remove_all(installed), std::filesystem::remove_all(beside);
}

}  // namespace
}  // namespace kovrel
