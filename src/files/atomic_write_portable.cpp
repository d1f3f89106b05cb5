#include <fstream>
#include <system_error>

#include "files/atomic_write.h"

// Systems without POSIX calls: the stream is flushed and closed before the rename, which the
// standard library performs as a replacing move.
namespace kovrel {

std::filesystem::path writeTargetOf(const std::filesystem::path& target) {
  return followSymbolicLinks(target);
}

// The stream creates files as the umask says; there is no owner-only mode to ask for here.
WriteOutcome replaceFileContents(const std::filesystem::path& target, std::string_view bytes, NewFileAccess) {
  const std::filesystem::path temporary = temporaryPathFor(target);
  std::error_code ignored;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.flush();
      out.close();
    }
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      return {WriteProblem::Other, "write failed"};
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, ignored);
    return {WriteProblem::Other, error.message()};
  }
  return {};
}

}  // namespace kovrel
