#include <windows.h>

#include <algorithm>
#include <string>

#include "base/wide_text_windows.h"
#include "files/atomic_write.h"

// Windows: the new bytes are flushed to the disk (FlushFileBuffers) before MoveFileExW puts the
// temporary file in place of the old one; write-through makes the move itself wait for the disk.
namespace kovrel {
namespace {

WriteOutcome failure(DWORD error) {
  WriteOutcome outcome;
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
      outcome.problem = WriteProblem::DiskFull;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:  // another program holds the file open without sharing it
    case ERROR_LOCK_VIOLATION:
      outcome.problem = WriteProblem::NotPermitted;
      break;
    default:
      outcome.problem = WriteProblem::Other;
      break;
  }
  outcome.detail = windowsErrorText(error);
  return outcome;
}

WriteOutcome abandon(HANDLE file, const std::filesystem::path& temporary, DWORD error) {
  if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
  ::DeleteFileW(temporary.c_str());
  return failure(error);
}

}  // namespace

std::filesystem::path writeTargetOf(const std::filesystem::path& target) {
  // Only a link is resolved (a file that is one is a reparse point): an ordinary file keeps the
  // name it was asked by. Opening follows the links; the system then names the file reached.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return target;
  const HANDLE file = ::CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return target;  // a dangling link: the write fails on it
  std::wstring name(MAX_PATH, L'\0');
  DWORD length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  if (length >= name.size()) {
    name.resize(length);
    length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()), 0);
  }
  ::CloseHandle(file);
  if (length == 0 || length >= name.size()) return target;
  name.resize(length);
  // "\\?\C:\..." as "C:\...", "\\?\UNC\server\..." as "\\server\...".
  if (name.starts_with(L"\\\\?\\UNC\\")) return L"\\" + name.substr(7);
  if (name.starts_with(L"\\\\?\\")) return name.substr(4);
  return name;
}

// A new file takes the rights its folder hands down, which already say who reads it on a share.
WriteOutcome replaceFileContents(const std::filesystem::path& target, std::string_view bytes, NewFileAccess) {
  const std::filesystem::path temporary = temporaryPathFor(target);
  HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failure(::GetLastError());

  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return abandon(file, temporary, ::GetLastError());
    done += written;
  }
  if (!::FlushFileBuffers(file)) return abandon(file, temporary, ::GetLastError());
  if (!::CloseHandle(file)) return abandon(INVALID_HANDLE_VALUE, temporary, ::GetLastError());
  if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return abandon(INVALID_HANDLE_VALUE, temporary, ::GetLastError());
  return {};
}

}  // namespace kovrel
