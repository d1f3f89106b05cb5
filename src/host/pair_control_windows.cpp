#include "host/pair_control_windows.h"

#include <windows.h>
// After windows.h
#include <knownfolders.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <array>

#include "base/known_folder_windows.h"
#include "base/wide_text_windows.h"

namespace kovrel {

namespace {

// ERROR_ELEVATION_REQUIRED: the program asks for administrator rights we were not started with.
// Older MinGW-w64 headers lack its name.
constexpr DWORD kElevationRequired = 740;

bool isFile(const std::filesystem::path& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One argument as the program's C runtime splits it back (backslashes before a quote doubled).
void appendQuoted(std::wstring& line, const std::wstring& arg) {
  line += L' ';
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    line.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    line += c;
  }
  line.append(slashes * 2, L'\\');
  line += L'"';
}

}  // namespace

std::vector<std::filesystem::path> systemProgramFolders() {
  std::vector<std::filesystem::path> folders;
  for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86})
    if (auto folder = knownFolder(id);
        folder && std::find(folders.begin(), folders.end(), *folder) == folders.end())
      folders.push_back(*folder);
  return folders;
}

std::optional<std::filesystem::path> findPairControlProgram(
    const std::vector<std::filesystem::path>& folders) {
  for (const auto& folder : folders)
    if (auto candidate = folder / L"com0com" / L"setupc.exe"; isFile(candidate)) return candidate;
  return std::nullopt;
}

ProgramRun runProgram(const std::filesystem::path& program, const Args& args, unsigned long waitMs) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited

  std::wstring line = L"\"" + program.wstring() + L"\"";
  for (const auto& arg : args) appendQuoted(line, wideFromUtf8(arg));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  const std::wstring folder = program.parent_path().wstring();
  const BOOL started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  const DWORD startError = GetLastError();
  CloseHandle(writeEnd);  // ours: the pipe ends when the child's copy closes
  if (!started) {
    CloseHandle(readEnd);
    run.needsAdmin = startError == kElevationRequired;
    return run;
  }
  run.started = true;

  // Read while waiting: a child whose output fills the pipe would otherwise never end.
  const ULONGLONG deadline = GetTickCount64() + waitMs;
  auto drain = [&] {
    DWORD available = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      std::array<char, 4096> chunk{};
      DWORD got = 0;
      if (!ReadFile(readEnd, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) || got == 0)
        break;
      run.output.append(chunk.data(), got);
    }
  };
  for (;;) {
    drain();
    if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) break;
    if (GetTickCount64() >= deadline) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
      run.timedOut = true;
      break;
    }
  }
  drain();
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  run.exitCode = static_cast<int>(code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(readEnd);
  return run;
}

RunCheck startElevated(const std::filesystem::path& program, const Args& args) {
  std::wstring line;
  for (const auto& arg : args) appendQuoted(line, wideFromUtf8(arg));
  const std::wstring file = program.wstring(), folder = program.parent_path().wstring();
  SHELLEXECUTEINFOW start{};
  start.cbSize = sizeof start;
  start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  start.hwnd = GetActiveWindow();  // the consent prompt comes up over the ports window, not behind it
  start.lpVerb = L"runas";         // the system's consent for this run, not this program's rights
  start.lpFile = file.c_str();
  start.lpParameters = line.c_str();
  start.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  start.nShow = SW_HIDE;
  ProgramRun refused;
  if (!ShellExecuteExW(&start) || start.hProcess == nullptr) {
    refused.needsAdmin = GetLastError() == ERROR_CANCELLED;  // the operator said no
    return [refused] { return std::optional<ProgramRun>(refused); };
  }
  std::shared_ptr<void> process(start.hProcess, CloseHandle);
  return [process]() -> std::optional<ProgramRun> {
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return ProgramRun{true, false, false, static_cast<int>(code), {}};
  };
}

std::unique_ptr<PairControl> makeSetupcPairControl() {
  const auto program = findPairControlProgram(systemProgramFolders());
  return std::make_unique<CommandPairControl>(
      program.has_value(), [program](const Args& args) { return runProgram(*program, args); },
      [program](const Args& args) { return startElevated(*program, args); });
}

}  // namespace kovrel
