// The shell's Windows pieces: the true system version, one running copy.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "shell/running_copy.h"
#include "shell/windows_version.h"

namespace kovrel {
namespace {

TEST(WindowsShell, theVersionIsTheKernelsNotTheCappedOneOfGetVersion) {
  // The page the kernel shares read-only with every process (KUSER_SHARED_DATA) carries the
  // system's version at a layout fixed since NT 4; GetVersion says 6.2 on anything newer.
  const auto* shared = reinterpret_cast<const volatile ULONG*>(0x7FFE026C);
  const WindowsVersion version = runningWindowsVersion();
  EXPECT_EQ(version.major, shared[0]);
  EXPECT_EQ(version.minor, shared[1]);
  EXPECT_GT(version.build, 0u);
}

TEST(WindowsShell, theNameStaysTakenUntilTheFirstCopyEnds) {
  const std::string name = "Local\\KovrelTest-" + std::to_string(::GetCurrentProcessId());
  {
    const RunningCopyGuard first(name);
    EXPECT_TRUE(first.first());
    { EXPECT_FALSE(RunningCopyGuard(name).first()); }
    EXPECT_FALSE(RunningCopyGuard(name).first());  // a second copy leaving did not free it
  }
  EXPECT_TRUE(RunningCopyGuard(name).first());
}

TEST(WindowsShell, theEarlierCopysMinimisedWindowIsRestored) {
  const std::wstring title = L"Kovrel test " + std::to_wstring(::GetCurrentProcessId());
  const std::string titleUtf8(title.begin(), title.end());
  EXPECT_FALSE(bringWindowForward(titleUtf8));
  const HWND window = ::CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_SHOWMINIMIZED);
  ASSERT_TRUE(::IsIconic(window));
  EXPECT_TRUE(bringWindowForward(titleUtf8));
  EXPECT_FALSE(::IsIconic(window));
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace kovrel
