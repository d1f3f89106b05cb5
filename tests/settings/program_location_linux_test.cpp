// Which folders take the settings file, and where the user's own settings folder is.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "program_folder.h"
#include "settings/program_location.h"

namespace kovrel {
namespace {

namespace fs = std::filesystem;

TEST(ProgramLocationLinux, foldersThePackageManagerOwnsNeverTakeTheFileEvenForRoot) {
  const testing::ProgramFolder build;
  const struct {
    fs::path folder;
    bool takes;
  } cases[] = {
      {build.path(), true},  // a build folder, a per-user install
      {"/usr/lib", false},   // where the package installs the program; root may write there
      {"/usr/lib/../lib", false}, {build.path() / "missing", false}, {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(folderTakesFiles(c.folder), c.takes) << c.folder;
  if (::geteuid() != 0) {
    fs::permissions(build.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(folderTakesFiles(build.path()));
  }
}

class Environment {
 public:
  explicit Environment(const char* name) : name_(name) {
    if (const char* value = ::getenv(name)) saved_ = value;
  }
  ~Environment() { saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_); }
  void set(const char* value) const { value ? ::setenv(name_, value, 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(ProgramLocationLinux, theUserFolderFollowsTheBaseDirectoryRules) {
  const Environment config("XDG_CONFIG_HOME"), home("HOME");
  const struct {
    const char* config;
    const char* home;
    fs::path folder;
  } cases[] = {
      {"/home/ana/cfg", "/home/ana", "/home/ana/cfg/kovrel"},
      {"relative", "/home/ana", "/home/ana/.config/kovrel"},  // a relative one is ignored
      {"", "/home/ana", "/home/ana/.config/kovrel"},
      {nullptr, nullptr, ""},
  };
  for (const auto& c : cases) {
    config.set(c.config);
    home.set(c.home);
    EXPECT_EQ(userSettingsFolder(), c.folder) << (c.config ? c.config : "(unset)");
  }
}

}  // namespace
}  // namespace kovrel
