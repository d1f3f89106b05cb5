#include "app/dynamic.h"

#include <gtest/gtest.h>

namespace kovrel {
namespace {

TEST(Dynamic, textHoldingANumberEqualsThatNumber) {
  EXPECT_TRUE(Dynamic("10") == 10);
  EXPECT_TRUE(Dynamic(" 10") == 10.0);
  EXPECT_FALSE(Dynamic("10") == 11);
  EXPECT_TRUE(Dynamic(10) == "10");
  EXPECT_TRUE(Dynamic(0.5) == "0.5");
}

TEST(Dynamic, emptyEqualsZeroAndEmptyText) {
  Dynamic empty;
  EXPECT_TRUE(empty == 0);
  EXPECT_TRUE(empty == "");
  EXPECT_FALSE(empty == 1);
  EXPECT_EQ(empty.toNumber(), 0.0);
  EXPECT_EQ(empty.toText(), "");
}

TEST(Dynamic, textThatIsNotANumberNeverEqualsANumber) {
  EXPECT_FALSE(Dynamic("/opt/kovrel") == 0);
  EXPECT_FALSE(Dynamic("si") == 0);
  EXPECT_TRUE(Dynamic("si") == "si");
  EXPECT_FALSE(Dynamic("si") == "no");
  EXPECT_FALSE(Dynamic("/opt/kovrel").isNumeric());
}

TEST(Dynamic, numbersKeepTheirShortestTextForm) {
  EXPECT_EQ(Dynamic(3).toText(), "3");
  EXPECT_EQ(Dynamic(0.05).toText(), "0.05");
  EXPECT_EQ(Dynamic(-0.1).toText(), "-0.1");
}

TEST(Dynamic, dynamicsCompareAcrossKinds) {
  EXPECT_TRUE(Dynamic("10") == Dynamic(10));
  EXPECT_TRUE(Dynamic() == Dynamic(0));
  EXPECT_TRUE(Dynamic() == Dynamic(""));
  EXPECT_FALSE(Dynamic("1") == Dynamic("10"));
}

}  // namespace
}  // namespace kovrel
