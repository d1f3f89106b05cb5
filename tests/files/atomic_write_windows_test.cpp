// The settings file's replace on Windows, where another program (an editor, a backup) may hold
// trac_conf.cfg open without sharing it, and the technician's read-only file and link count as
// they do on every other system.

#include <gtest/gtest.h>
#include <windows.h>

#include "files/atomic_write.h"
#include "program_folder.h"

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

}  // namespace
}  // namespace kovrel
