// The guidance as the technician reads it: line counts, trailing blanks, the box's layout.

#include "ports/guidance.h"

#include <gtest/gtest.h>

#include <map>

namespace kovrel {
namespace {

TEST(Guidance, eachCodeHasItsLinesWithTheirTrailingBlanksAndTheBoxSpacesThem) {
  // The first line, and one mark per line: 'b' where the line ends in a blank.
  const std::map<int, std::pair<std::string_view, std::string_view>> rows = {
      {2, {"INSTRUCCIONES :  No se ha encontrado ningún puerto USB !!", "........"}},
      {3, {"INSTRUCCIONES : falla la detección !!", "........."}},
      {4, {"INSTRUCCIONES : No hay ningún puerto libre entre COM1 y COM 6 !!", "....bbb.."}},
      {5, {"INSTRUCCIONES : El puerto USB es más grande que COM15 !!", "....b.b.."}},
      {6, {"INSTRUCCIONES : Hay dos puertos USB, uno es más grande de COM15 !!", "....bbb..."}},
  };
  for (int code : {0, 1, 7}) EXPECT_TRUE(guidanceLines(code).empty() && guidanceText(code).empty());
  for (const auto& [code, row] : rows) {
    const auto lines = guidanceLines(code);
    ASSERT_EQ(lines.size(), row.second.size()) << code;
    EXPECT_EQ(lines[0], row.first);
    std::string expected = std::string(lines[0]) + "\r\n";
    for (std::size_t k = 0; k < lines.size(); ++k) {
      EXPECT_EQ(lines[k].back() == ' ', row.second[k] == 'b') << code << " line " << k + 1;
      if (k > 0) expected += "\r\n" + std::string(lines[k]) + "\r\n";
    }
    EXPECT_EQ(guidanceText(code), expected);
  }
}

}  // namespace
}  // namespace kovrel
