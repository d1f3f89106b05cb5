// The guidance as the technician reads it: line counts, the first line, the blanks that end
// some lines, and the layout of the instructions box.

#include "ports/guidance.h"

#include <gtest/gtest.h>

#include "fake_window.h"

namespace kovrel {
namespace {

TEST(Guidance, eachCodeHasItsLinesWithTheirTrailingBlanksAndTheBoxSpacesThem) {
  struct Row {
    int code;
    std::size_t lines;
    std::string_view first;
    std::vector<std::size_t> endingInBlank;  // 1-based
  };
  const std::vector<Row> rows = {
      {1, 0, "", {}},
      {2, 8, "INSTRUCCIONES :  No se ha encontrado ningún puerto USB !!", {}},
      {3, 9, "INSTRUCCIONES : falla la detección !!", {}},
      {4, 9, "INSTRUCCIONES : No hay ningún puerto libre entre COM1 y COM 6 !!", {5, 6, 7}},
      {5, 9, "INSTRUCCIONES : El puerto USB es más grande que COM15 !!", {5, 7}},
      {6, 10, "INSTRUCCIONES : Hay dos puertos USB, uno es más grande de COM15 !!", {5, 6, 7}},
      {7, 0, "", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    const auto lines = guidanceLines(row.code);
    ASSERT_EQ(lines.size(), row.lines);
    const std::string text = guidanceText(row.code);
    if (row.lines == 0) {
      EXPECT_EQ(text, "");
      continue;
    }
    EXPECT_EQ(lines[0], row.first);
    std::string expected = std::string(lines[0]) + "\r\n";
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const bool blank =
          std::find(row.endingInBlank.begin(), row.endingInBlank.end(), k + 1) != row.endingInBlank.end();
      EXPECT_EQ(lines[k].back() == ' ', blank) << "line " << k + 1;
      if (k > 0) expected += "\r\n" + std::string(lines[k]) + "\r\n";
    }
    EXPECT_EQ(text, expected);
  }
}

TEST(Guidance, acceptingTheInstructionsLeavesOnlyTheWayOut) {
  testing::FakeWindow main;
  main.setEnabled(Control::sortirBtn, false);
  aceptar_instruccionsBtn_Click(main);
  EXPECT_FALSE(main.isEnabled(Control::llegirBtn) || main.isEnabled(Control::cfg_btn));
  EXPECT_TRUE(main.isEnabled(Control::sortirBtn));
}

}  // namespace
}  // namespace kovrel
