#pragma once
// The program holds its texts as UTF-8; Windows' own calls take and give UTF-16. These convert at
// the edge of every Windows adapter.

#include <string>
#include <string_view>

namespace kovrel {

std::wstring wideFromUtf8(std::string_view utf8);
std::string utf8FromWide(std::wstring_view wide);

// The system's own words for a Windows error code (GetLastError), without the trailing line end.
std::string windowsErrorText(unsigned long error);

}  // namespace kovrel
