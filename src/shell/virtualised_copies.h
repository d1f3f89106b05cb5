#pragma once
// Clean-up of virtualised copies of the program folder. A program that writes into its own
// folder under "Program Files" without the rights to do so has its writes redirected to a
// per-user copy ("Users\<name>\AppData\Local\VirtualStore\Program Files\Kovrel"); that copy's
// stale trac_conf.cfg would then hide the real one from the program started without rights.
// Before port set-up these copies are deleted.

#include <filesystem>
#include <ostream>
#include <vector>

namespace kovrel {

struct CleanupReport {
  std::vector<std::filesystem::path> deleted;  // the copies gone with their contents
  std::vector<std::filesystem::path> kept;     // copies that could not be deleted (noted)
};

// neteja_trac_conf over the drive `root` (the drive of the system's folder): for at most 100
// folders of root/Users, in the order the file system lists them, every level down to
// ...\VirtualStore\Program Files\Kovrel must be a real folder; the last one is deleted with its
// contents. A symbolic link is never followed, at any level nor inside the copy (the link
// itself goes, never what it names), no parent is ever deleted, and a read-only file is not
// forced: it stays, with the folders that hold it, and the copy is noted on `notes`.
CleanupReport neteja_trac_conf(const std::filesystem::path& root, std::ostream& notes);

inline constexpr int kMaxUserFolders = 100;

}  // namespace kovrel
