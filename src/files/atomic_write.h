#pragma once
// Replacing a file so that it is always either the old one or the complete new one: the bytes go
// to a temporary file beside it, are forced to the disk, and only then take the old file's name.
// A crash, a power cut or a full disk in the middle leaves the old file whole.

#include <filesystem>
#include <string>
#include <string_view>

namespace kovrel {

// ReadOnly: the file's owner took its write permission away; the program respects that even
// when it runs with rights that would let it replace the file.
enum class WriteProblem { None, DiskFull, NotPermitted, ReadOnly, Other };

struct WriteOutcome {
  WriteProblem problem = WriteProblem::None;
  std::string detail;  // the system's own words, for anything that is not full or forbidden
  bool ok() const { return problem == WriteProblem::None; }
};

// The operator's words for a failed write: "disco lleno", "sin permiso de escritura", "el archivo
// es de solo lectura", or the system's own.
std::string writeProblemText(const WriteOutcome& outcome);

// The temporary file used while `target` is replaced: same folder, so the final rename never
// crosses file systems.
std::filesystem::path temporaryPathFor(const std::filesystem::path& target);

// The file a write of `target` lands in: `target` itself, or the file a symbolic link (or a
// chain of them) points to, so the link survives and its target never goes stale. Per platform:
// the standard library cannot see Windows' links.
std::filesystem::path writeTargetOf(const std::filesystem::path& target);
// The standard library's walk of the links (Linux and the portable build answer with it).
std::filesystem::path followSymbolicLinks(const std::filesystem::path& target);

// True when `file` exists and its owner may not write it.
bool ownerMadeReadOnly(const std::filesystem::path& file);

// Who may read a file the write creates: its owner alone (settings, the archive), or, for a file
// handed to another program (a trace dropped for the lab's host, often read through a network
// share under another account), everyone the umask lets read it, 0644 as usual. A file that
// exists keeps its own permissions either way.
enum class NewFileAccess { OwnerOnly, Readable };

// Writes `bytes` as the new content of `target` (through a link, to the file it points to,
// replaced in that file's folder; a read-only file is left alone). On failure the old `target`
// (if any) is untouched and the temporary file is removed. The one front of every write,
// whatever the platform.
WriteOutcome replaceFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                   NewFileAccess access = NewFileAccess::OwnerOnly);

// The platform's replace of `file`, which is neither a link nor read-only: only the front above
// calls it.
WriteOutcome replaceFileContents(const std::filesystem::path& file, std::string_view bytes,
                                 NewFileAccess access);

}  // namespace kovrel
