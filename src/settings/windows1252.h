#pragma once
// trac_conf.cfg is 8-bit text in the Windows Western code page (a folder "Año" is the byte 0xF1
// there); the program holds every text as UTF-8. These convert a whole text between the two.

#include <string>
#include <string_view>

namespace kovrel {

// Every byte has a character: the five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the control characters of the same number, so any file, even one edited
// with another encoding, comes back byte for byte.
std::string windows1252ToUtf8(std::string_view bytes);

// Characters the code page cannot hold, and bytes that are not valid UTF-8, become "?".
std::string utf8ToWindows1252(std::string_view utf8);

}  // namespace kovrel
