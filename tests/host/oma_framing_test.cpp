#include "host/oma_framing.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kovrel::oma {
namespace {

Bytes bytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Offset of the first radius byte in an answer for the job label "1".
constexpr std::size_t kRadiusAt = 2 + 7 + 5 + 1 + 3 + 20 + 2;
std::vector<int> flatCodes() { return std::vector<int>(799, 0); }

TEST(OmaFraming, requestAndAnswerFramesAreTheHostsLayout) {
  EXPECT_EQ(requestBytes("345"),
            bytesOf("\x1cREQ=TRC\r\nJOB=\"345\"\r\nMODEL=Kovrel\r\nTRCFMT=3;800;E;R;D\r\n\x1e\x1d"));
  Bytes a = answerBytes("Rev.[345]", 2500, std::vector<int>(799, 1));
  Bytes head = bytesOf(
      "\x06\x1c"
      "ANS=1\r\nJOB=\"Rev.[345]\"\r\nTRCFMT=3;800;E;R;D\r\nR=\xc4\x09");
  ASSERT_EQ(a.size(), head.size() + 799 + 5);
  EXPECT_EQ(Bytes(a.begin(), a.begin() + static_cast<long>(head.size())), head);
  EXPECT_EQ(Bytes(a.end() - 6, a.end()), (Bytes{1, CR, LF, RS, GS, ACK}));
}

TEST(OmaFraming, codesTheHostReadsAsFramingGoEscapedOthersAsThemselves) {
  const std::vector<std::pair<int, Bytes>> rows = {
      {6, {27, 134}},  {10, {27, 138}}, {13, {27, 141}}, {17, {27, 145}}, {19, {27, 147}}, {21, {27, 149}},
      {26, {27, 154}}, {27, {27, 155}}, {28, {27, 156}}, {29, {27, 157}}, {30, {27, 158}}, {42, {27, 170}},
      {44, {27, 172}}, {59, {27, 187}}, {61, {27, 189}}, {64, {27, 192}}, {0, {0}},        {31, {31}},
      {43, {43}},      {60, {60}},      {127, {127}},    {128, {128}},    {156, {156}},    {255, {255}}};
  for (const auto& [code, wire] : rows) {
    std::vector<int> codes = flatCodes();
    codes[0] = code;
    Bytes a = answerBytes("1", 1000, codes);
    auto at = a.begin() + static_cast<long>(kRadiusAt + 2);
    EXPECT_EQ(Bytes(at, at + static_cast<long>(wire.size() + 1)), wire + Bytes{0}) << "code " << code;
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

// Radii (hundredths) stepping through every escaped difference and both extreme steps.
std::vector<int> walkingRadii(int first) {
  const int steps[] = {6, 10, 13, -127, 127, 17, -1, 19, 21, 26, 27, 28, 29, 30, 42, 44, 59, 61, 64, 0, -50};
  std::vector<int> radii{first};
  for (int n = 1; n < 800; ++n) radii.push_back(radii.back() + steps[n % std::size(steps)]);
  return radii;
}

std::vector<int> codesOf(const std::vector<int>& radii) {
  std::vector<int> codes;
  for (std::size_t n = 1; n < radii.size(); ++n) codes.push_back((radii[n] - radii[n - 1] + 256) % 256);
  return codes;
}

TEST(OmaFraming, hostDecodesTheCodedRadiiAndRejectsBrokenFraming) {
  // First radii whose bytes are CR, LF, FS or RS must not be taken for framing.
  for (int first : {3000, 13 + 256 * 10, 10 + 256 * 13, 28 + 256 * 30}) {
    std::vector<int> decoded;
    std::string why;
    ASSERT_TRUE(decodeAnswerRadii(answerBytes("Rev.[7]", first, codesOf(walkingRadii(first))), decoded, &why))
        << first << ": " << why;
    EXPECT_EQ(decoded, walkingRadii(first)) << first;
  }

  const Bytes good = answerBytes("1", 3000, flatCodes());
  const long codesAt = static_cast<long>(kRadiusAt + 2);
  std::vector<Bytes> broken(5, good);
  broken[0].erase(broken[0].begin());            // no ACK
  broken[1].pop_back();                          // cut short
  broken[2].erase(broken[2].begin() + codesAt);  // 798 differences
  broken[3][codesAt + 5] = FS;                   // unescaped framing byte in the trace
  broken[4][codesAt + 5] = ESC;                  // escape of a code that is never escaped
  broken[4][codesAt + 6] = 128 + 31;
  for (std::size_t i = 0; i < broken.size(); ++i) {
    std::vector<int> radii;
    EXPECT_FALSE(decodeAnswerRadii(broken[i], radii)) << "case " << i;
  }
}

}  // namespace
}  // namespace kovrel::oma
