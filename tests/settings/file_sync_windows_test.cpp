// The settings file's replace on Windows, where another program (an editor, a backup) may hold
// trac_conf.cfg open without sharing it.

#include <gtest/gtest.h>
#include <windows.h>

#include "program_folder.h"
#include "settings/file_sync.h"

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

}  // namespace
}  // namespace kovrel
