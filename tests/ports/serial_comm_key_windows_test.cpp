// The system's serial-port key read through the adapter: a key of the test's own under
// HKEY_LOCAL_MACHINE gets the values drivers write, and loses them again.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "ports/serial_comm_key.h"

namespace kovrel {
namespace {

class SerialCommKey : public ::testing::Test {
 protected:
  SerialCommKey() {
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, wideKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                      nullptr);
  }
  ~SerialCommKey() override {
    ::RegCloseKey(key_);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, wideKey.c_str());
  }
  // `bytes`: how much of the text goes in; a driver need not store the terminator.
  void set(const std::wstring& name, std::wstring_view data, std::size_t bytes) {
    ASSERT_EQ(::RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(bytes)),
              ERROR_SUCCESS);
  }
  std::vector<SerialCommEntry> listed() const {
    std::vector<SerialCommEntry> sorted = readSerialCommKey(key).value();  // throws when unread
    std::sort(sorted.begin(), sorted.end(), [](auto& a, auto& b) { return a.valueName < b.valueName; });
    return sorted;
  }

  const std::string key = R"(Software\KovrelTests\SERIALCOMM-)" + std::to_string(::GetCurrentProcessId());
  const std::wstring wideKey{key.begin(), key.end()};
  HKEY key_ = nullptr;
};

TEST_F(SerialCommKey, valuesComeBackAsNameAndDataUntilRemoved) {
  const std::wstring longName = L"\\Device\\VCP" + std::wstring(300, L'9');
  set(L"\\Device\\VCP0", L"COM3", 5 * sizeof(wchar_t));     // with its terminator
  set(L"\\Device\\Serial0", L"COM1", 4 * sizeof(wchar_t));  // without
  set(L"\\Device\\Se\u00f1al", std::wstring_view(L"COM12\0junk", 11), 11 * sizeof(wchar_t));
  set(longName, L"COM" + std::wstring(200, L'7'), 203 * sizeof(wchar_t));
  ::RegSetValueExW(key_, L"NotText", 0, REG_DWORD, reinterpret_cast<const BYTE*>(L"\5\0"), 4);

  const std::string longNameUtf8(longName.begin(), longName.end());
  EXPECT_EQ(listed(), (std::vector<SerialCommEntry>{{"\\Device\\Serial0", "COM1"},
                                                    {"\\Device\\Se\u00f1al", "COM12"},
                                                    {"\\Device\\VCP0", "COM3"},
                                                    {longNameUtf8, "COM" + std::string(200, '7')}}));

  ::RegDeleteValueW(key_, L"\\Device\\VCP0");
  ::RegDeleteValueW(key_, longName.c_str());
  EXPECT_EQ(listed(),
            (std::vector<SerialCommEntry>{{"\\Device\\Serial0", "COM1"}, {"\\Device\\Se\u00f1al", "COM12"}}));
}

TEST(SerialCommSystemKey, aMissingKeyIsNothingAndTheSystemKeyHoldsComNames) {
  EXPECT_FALSE(readSerialCommKey(R"(Software\KovrelTests\NoSuchKey)").has_value());
  for (const SerialCommEntry& entry : readSerialCommKey().value_or(std::vector<SerialCommEntry>{}))
    EXPECT_EQ(entry.data.rfind("COM", 0), 0u) << entry.valueName << " " << entry.data;
}

}  // namespace
}  // namespace kovrel
