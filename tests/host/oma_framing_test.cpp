#include "host/oma_framing.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

namespace kovrel::oma {
namespace {

// Offset of the first radius byte in an answer for the job label "1".
constexpr std::size_t kRadiusAt = 2 + 7 + 5 + 1 + 3 + 20 + 2;
constexpr long kCodesAt = kRadiusAt + 2;
std::vector<int> flatCodes() { return std::vector<int>(799, 0); }

TEST(OmaFraming, codesTheHostReadsAsFramingGoEscapedOthersAsThemselves) {
  const std::set<int> escaped = {6, 10, 13, 17, 19, 21, 26, 27, 28, 29, 30, 42, 44, 59, 61, 64};
  for (int code = 0; code < 256; ++code) {
    std::vector<int> codes = flatCodes();
    codes[0] = code;
    const Bytes a = answerBytes("1", 1000, codes);
    const auto c = static_cast<std::uint8_t>(code);
    const Bytes wire =
        escaped.contains(code) ? Bytes{ESC, static_cast<std::uint8_t>(c + 128), 0} : Bytes{c, 0};
    EXPECT_EQ(Bytes(a.begin() + kCodesAt, a.begin() + kCodesAt + static_cast<long>(wire.size())), wire)
        << code;
  }
}

TEST(OmaFraming, firstRadiusGoesLowByteFirstRoundedHalfToEvenAndNeverEscaped) {
  struct Row {
    double hundredths;
    bool ok;
    int low, high;
  };
  const Row rows[] = {{2352.5, true, 48, 9}, {2353.5, true, 50, 9}, {2352.51, true, 49, 9},
                      {2560, true, 0, 10},   {7196, true, 28, 28},  {65535, true, 255, 255},
                      {0, true, 0, 0},       {255.5, false, 0, 0},  {511.5, false, 0, 0},
                      {-1, false, 0, 0},     {65536, false, 0, 0}};
  for (const Row& row : rows) {
    std::uint8_t low = 0, high = 0;
    ASSERT_EQ(firstRadiusBytes(row.hundredths, low, high), row.ok) << row.hundredths;
    EXPECT_EQ((std::pair<int, int>{low, high}), (std::pair{row.low, row.high})) << row.hundredths;
  }
  Bytes a = answerBytes("1", 28 + 256 * 13, flatCodes());
  EXPECT_EQ(Bytes(a.begin() + kRadiusAt, a.begin() + kRadiusAt + 3), (Bytes{28, 13, 0}));

  EXPECT_THROW(answerBytes("1", 255.5, flatCodes()), std::range_error);
  for (int bad : {256, -1}) {
    std::vector<int> codes = flatCodes();
    codes[10] = bad;
    EXPECT_THROW(answerBytes("1", 1000, codes), std::range_error) << bad;
  }
  EXPECT_THROW(answerBytes("1", 1000, std::vector<int>(798, 0)), std::range_error);
}

TEST(OmaFraming, hostDecodesFirstRadiiWhoseBytesLookLikeFraming) {
  // Every code and sign is decoded through the host simulator; here first radii whose bytes are
  // CR LF, LF CR or FS RS, which must not be taken for framing.
  for (int first : {13 + 256 * 10, 10 + 256 * 13, 28 + 256 * 30}) {
    std::vector<int> codes = flatCodes(), decoded;
    codes[0] = 255, codes[1] = 1;  // -1, +1
    std::string why;
    ASSERT_TRUE(decodeAnswerRadii(answerBytes("Rev.[7]", first, codes), decoded, &why))
        << first << ": " << why;
    ASSERT_EQ(decoded.size(), 800u);
    EXPECT_TRUE(decoded[0] == first && decoded[1] == first - 1 && decoded[799] == first) << first;
  }
}

}  // namespace
}  // namespace kovrel::oma
