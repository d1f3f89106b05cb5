#include <windows.h>

#include <string>

#include "settings/program_location.h"

namespace kovrel {

std::filesystem::path runningProgramFolder() {
  // The path may be longer than MAX_PATH (a folder with the \\?\ prefix): the buffer grows until
  // the whole name fits, which the call shows by not filling it to the last character.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::filesystem::path(buffer.substr(0, length)).parent_path();
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace kovrel
