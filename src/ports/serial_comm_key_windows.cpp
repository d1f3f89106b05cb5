#include <windows.h>

#include <algorithm>

#include "base/wide_text_windows.h"
#include "ports/serial_comm_key.h"

namespace kovrel {

namespace {

// REG_SZ data need not end with its terminator, and may hold one or more inside its size.
std::wstring textOf(const std::vector<wchar_t>& data, DWORD bytes) {
  std::wstring text(data.data(), bytes / sizeof(wchar_t));
  if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
  return text;
}

}  // namespace

std::optional<std::vector<SerialCommEntry>> readSerialCommKey(std::string_view subKey) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, wideFromUtf8(subKey).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;

  std::vector<SerialCommEntry> entries;
  std::vector<wchar_t> name, data;
  int retries = 0;
  for (DWORD index = 0;;) {
    // A driver may add a port while the list is read: when a value outgrows the buffers its
    // index is read again with larger ones, a few times at most.
    DWORD longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                           &longestData, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    name.resize(std::max<std::size_t>(name.size() * 2 * retries, longestName + 1));
    data.resize(std::max<std::size_t>(data.size() * 2 * retries, longestData / sizeof(wchar_t) + 1));
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LONG result = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data.data()), &dataBytes);
    if (result == ERROR_MORE_DATA && ++retries < 8) continue;
    retries = 0;
    if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS: the end of the list
    if (type == REG_SZ || type == REG_EXPAND_SZ)
      entries.push_back({utf8FromWide({name.data(), nameLength}), utf8FromWide(textOf(data, dataBytes))});
    ++index;
  }
  ::RegCloseKey(key);
  return entries;
}

}  // namespace kovrel
