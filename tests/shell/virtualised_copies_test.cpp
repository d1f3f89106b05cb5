// The clean-up of virtualised program folders on a scratch drive: only the last folder of a
// complete path goes, and a link at any level or inside the copy is never followed.

#include "shell/virtualised_copies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kovrel {
namespace {

namespace fs = std::filesystem;

const fs::path kStore = fs::path("AppData") / "Local" / "VirtualStore" / "Program Files";

void file(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

TEST(VirtualisedCopies, onlyTheLastFolderOfACompletePathGoesAndNoLinkIsFollowed) {
  const fs::path root = fs::temp_directory_path() / "kovrel-virtualstore";
  fs::remove_all(root);
  const fs::path users = root / "Users";
  const fs::path outside = root / "elsewhere";  // what links point at: must survive
  file(outside / "Kovrel" / "trac_conf.cfg");
  file(outside / "keep.txt");

  // ana: a full copy holding files, a folder and links out of the tree.
  const fs::path ana = users / "ana" / kStore / "Kovrel";
  file(ana / "trac_conf.cfg");
  file(ana / "sub" / "old.cfg");
  fs::create_directory_symlink(outside, ana / "out");
  fs::create_symlink(outside / "keep.txt", ana / "sub" / "keep.txt");
  // bea: the path stops one level short.
  file(users / "bea" / kStore / "other.txt");
  // ciro: the user folder is a link to a tree that holds a full path.
  file(outside / "ciro" / kStore / "Kovrel" / "trac_conf.cfg");
  fs::create_directory_symlink(outside / "ciro", users / "ciro");
  // dora: "Program Files" is a link to a folder that holds Kovrel.
  fs::create_directories(users / "dora" / kStore.parent_path());
  fs::create_directory_symlink(outside, users / "dora" / kStore);
  // eva: a read-only file is not forced.
  const fs::path eva = users / "eva" / kStore / "Kovrel";
  file(eva / "locked.cfg");
  file(eva / "loose.cfg");
  fs::permissions(eva / "locked.cfg", fs::perms::owner_read | fs::perms::group_read);

  std::ostringstream notes;
  const CleanupReport report = neteja_trac_conf(root, notes);

  EXPECT_EQ(report.deleted, std::vector<fs::path>{ana});
  EXPECT_EQ(report.kept, std::vector<fs::path>{eva});
  EXPECT_NE(notes.str().find(eva.string()), std::string::npos) << notes.str();
  EXPECT_FALSE(fs::exists(fs::symlink_status(ana)));
  EXPECT_TRUE(fs::is_directory(ana.parent_path()));  // never a parent
  EXPECT_TRUE(fs::exists(users / "bea" / kStore / "other.txt"));
  EXPECT_TRUE(fs::exists(outside / "keep.txt"));
  EXPECT_TRUE(fs::exists(outside / "Kovrel" / "trac_conf.cfg"));
  EXPECT_TRUE(fs::exists(outside / "ciro" / kStore / "Kovrel" / "trac_conf.cfg"));
  EXPECT_TRUE(fs::exists(eva / "locked.cfg"));
  EXPECT_FALSE(fs::exists(eva / "loose.cfg"));

  // No Users folder (this system's own drive has none): nothing found, nothing said.
  std::ostringstream quiet;
  EXPECT_TRUE(neteja_trac_conf(outside, quiet).deleted.empty());
  EXPECT_TRUE(quiet.str().empty());
  fs::remove_all(root);
}

}  // namespace
}  // namespace kovrel
