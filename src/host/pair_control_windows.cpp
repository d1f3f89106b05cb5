#include "host/pair_control_windows.h"

#include <windows.h>

#include <array>

namespace kovrel {

namespace {

// ERROR_ELEVATION_REQUIRED: the program asks for administrator rights we were not started with.
// Older MinGW-w64 headers lack its name.
constexpr DWORD kElevationRequired = 740;

std::wstring wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::optional<std::filesystem::path> environmentFolder(const wchar_t* name) {
  std::array<wchar_t, MAX_PATH> buffer{};
  const DWORD n = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::nullopt;
  return std::filesystem::path(std::wstring(buffer.data(), n));
}

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

std::optional<std::filesystem::path> findPairControlProgram() {
  std::vector<std::filesystem::path> candidates;
  std::array<wchar_t, 32768> self{};
  const DWORD n = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
  if (n > 0 && n < self.size())
    candidates.push_back(std::filesystem::path(std::wstring(self.data(), n)).parent_path() / L"setupc.exe");
  for (const wchar_t* folder : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"})
    if (auto root = environmentFolder(folder)) candidates.push_back(*root / L"com0com" / L"setupc.exe");
  for (const auto& candidate : candidates)
    if (isFile(candidate)) return candidate;
  return std::nullopt;
}

ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      unsigned long waitMs) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // only the child's end is inherited

  std::wstring line = L"\"" + program.wstring() + L"\"";
  for (const auto& arg : args) appendQuoted(line, wide(arg));
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

std::unique_ptr<PairControl> makeSetupcPairControl() {
  const auto program = findPairControlProgram();
  return std::make_unique<CommandPairControl>(
      program.has_value(),
      [program](const std::vector<std::string>& args) { return runProgram(*program, args); });
}

}  // namespace kovrel
