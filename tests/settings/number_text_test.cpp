#include "settings/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace kovrel {
namespace {

TEST(NumberReader, knownAnswers) {
  // clang-format off
  const std::vector<std::pair<std::string, double>> rows = {
      {"24.5", 24.5}, {"2 4 .\t5", 24.5}, {"-0.1", -0.1}, {"+3", 3},      {".5", 0.5},    {"-.5", -0.5},
      {"5.", 5},      {"3.5E2", 350},     {"3.5D2", 350}, {"35e-1", 3.5}, {"1E+3", 1000}, {"12abc", 12},
      {"1,5", 1},     {"1.2.3", 1.2},     {"7E+", 7},     {"abc", 0},     {"", 0},        {"-", 0},
      {".", 0},       {"+-5", 0},         {"E5", 0},      {"1E999", 0},
      {"0.000227218319888178", 0.000227218319888178}};
  // clang-format on
  for (const auto& [text, value] : rows) EXPECT_EQ(readNumber(text), value) << '"' << text << '"';
  EXPECT_EQ(readNumber("1\n2"), 1);  // line feeds are padding only in the tracer's header
  EXPECT_EQ(readNumber("1\n2", true), 12);
  for (const char* yes : {"3", " 10", "-0.5", "1E5", "5."}) EXPECT_TRUE(isNumberText(yes)) << yes;
  for (const char* no : {"", "-", "12abc", "/opt/kovrel", "1,5"}) EXPECT_FALSE(isNumberText(no)) << no;
  double typed = 0;  // what the operator types takes the locale's separator or a point
  EXPECT_TRUE(parseLocaleNumber("0,15", ',', typed) && typed == 0.15);
  EXPECT_TRUE(parseLocaleNumber("0.15", ',', typed) && typed == 0.15);
  EXPECT_FALSE(parseLocaleNumber("0,15mm", ',', typed));
}

TEST(NumberWriter, knownAnswersReadBackAndRewriteIdentically) {
  // clang-format off
  const std::vector<std::pair<double, std::string>> rows = {
      {24.5, " 24.5"}, {-0.1, "-0.1"}, {0, " 0"}, {-0.0, " 0"}, {3945, " 3945"},
      {1.0 / 3.0, " 0.333333333333333"}, {-2.0 / 3.0, "-0.666666666666667"},
      {0.000227218319888178, " 0.000227218319888178"}, {1e-5, " 1E-5"}, {-1.5e20, "-1.5E+20"},
      {123456789012345678.0, " 1.23456789012346E+17"}};
  // clang-format on
  for (const auto& [value, text] : rows) EXPECT_EQ(writeNumber(value), text) << value;
  EXPECT_EQ(shortestNumber(3), "3");
  EXPECT_EQ(localeNumber(30.7, ','), "30,7");
  for (double v : {24.5, -0.1, 2.272183198881781e-4, 1.0 / 7.0, 1e-9, 6.02e23, -4095.0}) {
    const std::string once = writeNumber(v);
    EXPECT_NEAR(readNumber(once), v, std::abs(v) * 1e-14) << once;
    EXPECT_EQ(writeNumber(readNumber(once)), once);
  }
}

TEST(NumberWriter, operatorsLocaleNeverChangesTheDecimalPoint) {
  // The windowing library switches the process to the operator's locale at start-up.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  bool switched = false;
  for (const char* name : {"es_ES.UTF-8", "es_ES.utf8", "de_DE.UTF-8", "fr_FR.UTF-8"})
    switched = switched || std::setlocale(LC_NUMERIC, name);
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma installed";
  const double read = readNumber("0.5");
  const std::string written = writeNumber(24.5);
  std::setlocale(LC_NUMERIC, previous.c_str());
  EXPECT_EQ(read, 0.5);
  EXPECT_EQ(written, " 24.5");
}

}  // namespace
}  // namespace kovrel
