// The settings file's replace on Windows, where another program (an editor, a backup) may hold
// trac_conf.cfg open without sharing it, and the technician's read-only file and link count as
// they do on every other system; and a per-machine installation's Program Files folder, which
// never takes the file even where this process may write there (elevated, under Wine).

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "base/known_folder_windows.h"
#include "program_folder.h"
#include "settings/file_sync.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

TEST(FileReplaceWindows, aFileHeldOpenIsNotReplacedAndNothingIsLeftBehindUntilItIsLetGo) {
  const testing::ProgramFolder folder;
  folder.write("old\r\n");
  const HANDLE held = ::CreateFileW(folder.file().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const WriteOutcome refused = replaceFileAtomically(folder.file(), "new\r\n");
  ::CloseHandle(held);

  EXPECT_EQ(refused.problem, WriteProblem::NotPermitted) << refused.detail;
  EXPECT_FALSE(refused.detail.empty());
  EXPECT_EQ(folder.read(), "old\r\n");
  EXPECT_FALSE(std::filesystem::exists(temporaryPathFor(folder.file())));

  EXPECT_TRUE(replaceFileAtomically(folder.file(), "new\r\n").ok());
  EXPECT_EQ(folder.read(), "new\r\n");
}

TEST(FileReplaceWindows, aReadOnlyFileIsLeftAsItIsAndALinkIsWrittenThroughToItsTarget) {
  const testing::ProgramFolder folder;
  folder.write("old\r\n");
  ASSERT_TRUE(::SetFileAttributesW(folder.file().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(replaceFileAtomically(folder.file(), "new\r\n").problem, WriteProblem::ReadOnly);
  ::SetFileAttributesW(folder.file().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(folder.read(), "old\r\n");

  const std::filesystem::path target = folder.path() / L"técnico.cfg";
  std::filesystem::rename(folder.file(), target);
  const auto isLink = [&] {
    const DWORD attributes = ::GetFileAttributesW(folder.file().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  };
  ::CreateSymbolicLinkW(folder.file().c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (!isLink()) GTEST_SKIP() << "no symbolic link on this system (Wine, or no developer mode)";
  ASSERT_TRUE(replaceFileAtomically(folder.file(), "new\r\n").ok());
  EXPECT_TRUE(isLink());
  EXPECT_EQ(testing::fileBytes(target), "new\r\n");
}

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
