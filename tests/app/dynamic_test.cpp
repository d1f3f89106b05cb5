#include "app/dynamic.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

// A setting may hold a number or a text: a text that reads as a number equals it, an empty one
// equals 0 and "", and any other text never equals a number.
TEST(Dynamic, comparesAcrossNumbersAndTexts) {
  EXPECT_TRUE(Dynamic(" 10") == 10 && Dynamic(10) == "10" && Dynamic("10") == Dynamic(10));
  EXPECT_FALSE(Dynamic("10") == 11 || Dynamic("1") == Dynamic("10"));
  EXPECT_TRUE(Dynamic() == 0 && Dynamic() == "" && Dynamic() == Dynamic(""));
  EXPECT_FALSE(Dynamic("/opt/kovrel") == 0 || Dynamic("si") == 0 || Dynamic("si") == "no");
  EXPECT_FALSE(Dynamic("/opt/kovrel").isNumeric());
  EXPECT_EQ(Dynamic(0.05).toText(), "0.05");  // the shortest text form, as the file stores it
  EXPECT_EQ(Dynamic(-0.1).toText(), "-0.1");
}

}  // namespace
}  // namespace kovrel
