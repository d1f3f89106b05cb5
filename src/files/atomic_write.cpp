#include "files/atomic_write.h"

#include "base/texts.h"

namespace kovrel {

std::filesystem::path followSymbolicLinks(const std::filesystem::path& target) {
  std::filesystem::path file = target;
  std::error_code error;
  // A bounded walk: a loop of links ends as a failed write, not as a hang.
  for (int hops = 0; hops < 40 && std::filesystem::is_symlink(file, error); ++hops) {
    const std::filesystem::path next = std::filesystem::read_symlink(file, error);
    if (error) break;
    file = next.is_absolute() ? next : file.parent_path() / next;
  }
  return file;
}

bool ownerMadeReadOnly(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file, error);
  return !error && std::filesystem::is_regular_file(status) &&
         (status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
}

WriteOutcome replaceFileAtomically(const std::filesystem::path& link, std::string_view bytes,
                                   NewFileAccess access) {
  const std::filesystem::path target = writeTargetOf(link);
  if (ownerMadeReadOnly(target)) return {WriteProblem::ReadOnly, "read-only"};
  return replaceFileContents(target, bytes, access);
}

std::string writeProblemText(const WriteOutcome& outcome) {
  switch (outcome.problem) {
    case WriteProblem::DiskFull:
      return std::string(texts::kDiskFull);
    case WriteProblem::NotPermitted:
      return std::string(texts::kNoWritePermission);
    case WriteProblem::ReadOnly:
      return std::string(texts::kReadOnly);
    default:
      return outcome.detail;
  }
}

std::filesystem::path temporaryPathFor(const std::filesystem::path& target) {
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  return temporary;
}

}  // namespace kovrel
