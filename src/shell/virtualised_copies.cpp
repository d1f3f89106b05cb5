#include "shell/virtualised_copies.h"

#include <system_error>

namespace kovrel {
namespace {

namespace fs = std::filesystem;

// The levels below a user's folder, in the order they are checked.
constexpr const char* kLevels[] = {"AppData", "Local", "VirtualStore", "Program Files", "Kovrel"};

// A folder itself, not a link to one (a link could lead out of the tree).
bool isRealFolder(const fs::path& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() == fs::file_type::directory;
}

bool isReadOnly(const fs::file_status& status) {
  return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

// Deletes `folder` and what it holds without following links; true when all of it went.
bool removeTree(const fs::path& folder) {
  bool whole = true;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return false;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    const fs::path entry = it->path();
    const fs::file_status status = fs::symlink_status(entry, error);
    if (status.type() == fs::file_type::directory) {
      whole = removeTree(entry) && whole;
    } else if (status.type() != fs::file_type::symlink && isReadOnly(status)) {
      whole = false;  // not forced
    } else {
      whole = fs::remove(entry, error) && whole;  // a link goes, never what it names
    }
  }
  if (error) return false;
  return whole && fs::remove(folder, error);
}

}  // namespace

CleanupReport neteja_trac_conf(const fs::path& root, std::ostream& notes) {
  CleanupReport report;
  const fs::path users = root / "Users";
  if (!isRealFolder(users)) return report;

  std::vector<fs::path> names;
  std::error_code error;
  for (fs::directory_iterator it(users, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const fs::file_type type = it->symlink_status(error).type();
    if (type == fs::file_type::directory || type == fs::file_type::symlink)
      names.push_back(it->path().filename());
    if (static_cast<int>(names.size()) == kMaxUserFolders) break;
  }

  for (const fs::path& name : names) {
    fs::path path = users / name;
    bool present = isRealFolder(path);
    for (const char* level : kLevels) {
      if (!present) break;
      path /= level;
      present = isRealFolder(path);
    }
    if (!present) continue;
    if (removeTree(path)) {
      report.deleted.push_back(path);
    } else {
      report.kept.push_back(path);
      notes << "Kovrel: no se pudo borrar " << path.string() << '\n';
    }
  }
  return report;
}

}  // namespace kovrel
