// The user's folders follow the base directory rules: an absolute XDG variable, else the home; a
// failed write is told as the problem it is.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>

#include "files/atomic_write_linux.h"
#include "files/user_folders.h"

namespace kovrel {
namespace {

TEST(UserFoldersLinux, settingsAndDataFollowTheirXdgVariableAndFallBackToTheHomeWhenItIsRelativeOrUnset) {
  // The variable and its value (nullptr: unset), the folder asked for, the folder expected.
  const std::tuple<const char*, const char*, std::filesystem::path (*)(), const char*> cases[] = {
      {"XDG_CONFIG_HOME", nullptr, userSettingsFolder, "/home/ana/.config/kovrel"},
      {"XDG_CONFIG_HOME", "relative", userSettingsFolder, "/home/ana/.config/kovrel"},
      {"XDG_CONFIG_HOME", "/home/ana/cfg", userSettingsFolder, "/home/ana/cfg/kovrel"},
      {"XDG_DATA_HOME", nullptr, userDataFolder, "/home/ana/.local/share/kovrel"},
      {"XDG_DATA_HOME", "data", userDataFolder, "/home/ana/.local/share/kovrel"},
      {"XDG_DATA_HOME", "/srv/datos", userDataFolder, "/srv/datos/kovrel"},
  };
  const std::string home = ::getenv("HOME") ? ::getenv("HOME") : "";
  ::setenv("HOME", "/home/ana", 1);
  for (const auto& [variable, value, folder, expected] : cases) {
    value ? ::setenv(variable, value, 1) : ::unsetenv(variable);
    EXPECT_EQ(folder(), expected) << variable << "=" << (value ? value : "(unset)");
    ::unsetenv(variable);
  }
  ::setenv("HOME", "relative", 1);  // no home to fall back on
  EXPECT_TRUE(userDataFolder().empty());
  ::setenv("HOME", home.c_str(), 1);
}

TEST(AtomicWriteLinux, eachSystemErrorOfAWriteIsToldAsFullForbiddenOrInTheSystemsOwnWords) {
  using enum WriteProblem;
  const std::pair<int, WriteProblem> cases[] = {
      {ENOSPC, DiskFull},    {EDQUOT, DiskFull},    {EFBIG, DiskFull}, {EACCES, NotPermitted},
      {EPERM, NotPermitted}, {EROFS, NotPermitted}, {EIO, Other}};
  for (const auto& [error, problem] : cases) EXPECT_EQ(writeFailureOf(error).problem, problem) << error;
  EXPECT_EQ(writeProblemText(writeFailureOf(EIO)), std::strerror(EIO));
}

}  // namespace
}  // namespace kovrel
