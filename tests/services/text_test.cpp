#include "services/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "services/gbk.h"

namespace lirvo {
namespace {

using namespace lirvo::literals;

// ---------------------------------------------------------------------------
// Searching
// ---------------------------------------------------------------------------

struct SearchCase {
  const char* name;
  Text text;
  Text sought;
  std::optional<int> position;  // start for forward, end for reverse
  bool ignoreCase;
  int expected;
};

void PrintTo(const SearchCase& c, std::ostream* os) {
  *os << c.name;
}

class FindTextTest : public testing::TestWithParam<SearchCase> {};

TEST_P(FindTextTest, FindsFirstOccurrence) {
  const SearchCase& c = GetParam();
  EXPECT_EQ(FindText(c.text, c.sought, c.position, c.ignoreCase), c.expected);
}

// "中" is D6 D0 and "文" is CE C4 in GBK; "乗" is 81 5C, a trail byte that is
// a backslash.
INSTANTIATE_TEST_SUITE_P(
    Forward, FindTextTest,
    testing::Values(
        SearchCase{"plain", "xxab", "ab", {}, false, 3},
        SearchCase{"absent", "xxab", "zz", {}, false, -1},
        SearchCase{"at_first_byte", "abxx", "ab", {}, false, 1},
        SearchCase{"at_last_bytes", "xxxab", "ab", {}, false, 4},
        SearchCase{"sought_longer_than_text", "ab", "abc", {}, false, -1},
        SearchCase{"sought_equals_text", "abc", "abc", {}, false, 1},
        SearchCase{"start_on_match", "abab", "ab", 3, false, 3},
        SearchCase{"start_past_match", "abab", "ab", 4, false, -1},
        SearchCase{"start_zero", "abab", "ab", 0, false, 1},
        SearchCase{"start_negative", "abab", "ab", -5, false, 1},
        SearchCase{"start_is_length", "abab", "b", 4, false, 4},
        SearchCase{"start_past_length", "abab", "b", 5, false, -1},
        SearchCase{"start_far_out", "abab", "b", 2147483647, false, -1},
        // The empty sought text only asks whether the region holds a byte.
        SearchCase{"empty_sought", "abc", "", {}, false, 1},
        SearchCase{"empty_sought_with_start", "abc", "", 3, false, 1},
        SearchCase{"empty_sought_start_past_end", "abc", "", 4, false, -1},
        SearchCase{"empty_sought_empty_text", "", "", {}, false, -1},
        SearchCase{"empty_text", "", "a", {}, false, -1},
        // Character boundaries.
        SearchCase{"across_two_characters", "中文"_gbk, "\xD0\xCE", {}, false, -1},
        SearchCase{"whole_character", "a中文"_gbk, "文"_gbk, {}, false, 4},
        SearchCase{"trail_byte_is_ascii", "乗\\"_gbk, "\\", {}, false, 3},
        SearchCase{"trail_byte_not_matched", "乗"_gbk, "\\", {}, false, -1},
        SearchCase{"skips_trail_then_finds", "乗x\\"_gbk, "\\", {}, false, 4},
        SearchCase{"trail_equals_first_byte", "\xD6\xD6\xD6\xD0", "\xD6\xD0", {}, false, 3},
        SearchCase{"odd_run_of_high_bytes", "a\xD6\xD6\xD0\xD0", "\xD6\xD0", {}, false, -1},
        SearchCase{"even_run_of_high_bytes", "a\xD6\xD6\xD6\xD0", "\xD6\xD0", {}, false, 4},
        SearchCase{"long_odd_run", "a" + Text(17, '\xD6') + "\xD0", "\xD6\xD0", {}, false, 18},
        SearchCase{"long_even_run", "a" + Text(16, '\xD6') + "\xD0x", "\xD6\xD0", {}, false, -1},
        SearchCase{"long_run_from_start", Text(40, '\xD6') + "\xD0", "\xD6\xD0", 3, false, -1},
        // A start inside a character is taken as a character start.
        SearchCase{"start_on_trail_byte", "\xD6\xD0\xD0\xCE", "\xD0\xD0", 2, false, 2},
        // A lead byte without its second byte ends the scan; it can still be
        // matched itself.
        SearchCase{"lone_lead_at_end", "ab\xD6", "\xD6", {}, false, 3},
        SearchCase{"lone_lead_longer_sought", "ab\xD6", "\xD6x", {}, false, -1},
        // Ignoring case folds A-Z only, trail bytes included.
        SearchCase{"case_differs", "xxAB", "ab", {}, false, -1},
        SearchCase{"ignore_case", "xxAB", "ab", {}, true, 3},
        SearchCase{"ignore_case_upper_sought", "xxab", "AB", {}, true, 3},
        SearchCase{"ignore_case_non_letter_first", "x<DIV>", "<div>", {}, true, 2},
        SearchCase{"ignore_case_trail_byte", "\x81\x41", "\x81\x61", {}, true, 1},
        SearchCase{"ignore_case_no_other_folding", "\xC0", "\xE0", {}, true, -1}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

class FindTextReverseTest : public testing::TestWithParam<SearchCase> {};

TEST_P(FindTextReverseTest, FindsLastOccurrence) {
  const SearchCase& c = GetParam();
  EXPECT_EQ(FindTextReverse(c.text, c.sought, c.position, c.ignoreCase), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reverse, FindTextReverseTest,
    testing::Values(SearchCase{"last_of_two", "abab", "ab", {}, false, 3},
                    SearchCase{"absent", "abab", "zz", {}, false, -1},
                    // Only occurrences that end before the end position count.
                    SearchCase{"end_cuts_last", "abab", "ab", 4, false, 1},
                    SearchCase{"end_just_after_last", "abab", "ab", 5, false, 3},
                    SearchCase{"end_one", "abab", "ab", 1, false, -1},
                    SearchCase{"end_zero", "abab", "ab", 0, false, -1},
                    SearchCase{"end_negative", "abab", "ab", -3, false, -1},
                    SearchCase{"end_far_out", "abab", "ab", 2147483647, false, 3},
                    SearchCase{"end_too_early", "abab", "ab", 2, false, -1},
                    SearchCase{"empty_sought", "abc", "", {}, false, 1},
                    SearchCase{"empty_sought_end_two", "abc", "", 2, false, 1},
                    SearchCase{"empty_sought_end_one", "abc", "", 1, false, -1},
                    SearchCase{"empty_sought_empty_text", "", "", {}, false, -1},
                    SearchCase{"overlapping", "aaaa", "aa", {}, false, 3},
                    SearchCase{"across_two_characters", "中文中文"_gbk, "\xD0\xCE", {}, false, -1},
                    SearchCase{"last_whole_character", "中文中文"_gbk, "中"_gbk, {}, false, 5},
                    SearchCase{"trail_byte_is_ascii", "\\乗"_gbk, "\\", {}, false, 1},
                    SearchCase{"ignore_case", "aBAb", "AB", {}, true, 3}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

// Pages are tens of kilobytes of mixed text; the fast path must agree with a
// plain walk over character boundaries everywhere.
int WalkFind(const Text& text, const Text& sought, std::size_t begin, std::size_t end,
             bool ignoreCase, bool reverse) {
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
  int found = -1;
  for (std::size_t i = begin; i + sought.size() <= end;) {
    bool same = true;
    for (std::size_t k = 0; k < sought.size() && same; ++k) {
      same = ignoreCase ? fold(text[i + k]) == fold(sought[k]) : text[i + k] == sought[k];
    }
    if (same) {
      found = static_cast<int>(i) + 1;
      if (!reverse) return found;
    }
    i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
  }
  return found;
}

TEST(FindTextAgreement, MatchesCharacterWalkOnMixedPages) {
  const std::vector<Text> pieces = {"<li>",     "中文"_gbk, "乗"_gbk, "\\", "a",   "\\\xD6",
                                    "\xD6\xD6", "\xD0",     "\xD6",   "A",  "</a>"};
  const std::vector<Text> sought = {"\\",         "\xD6\xD0", "\xD0\xD6", "\xD6",
                                    "<li>中"_gbk, "a</a>",    "\xD6\xD6", "文乗"_gbk,
                                    "a",          "<LI>",     "\\\xD6"};
  std::uint32_t seed = 7;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 400; ++round) {
    Text text;
    const int parts = static_cast<int>(next() % 40);
    for (int i = 0; i < parts; ++i) text += pieces[next() % pieces.size()];
    const int position = static_cast<int>(next() % (text.size() + 2));
    const std::size_t begin = position > 1 ? position - 1 : 0;
    const std::size_t end = position > 1 ? std::min<std::size_t>(position - 1, text.size()) : 0;
    for (const Text& s : sought) {
      for (bool ignoreCase : {false, true}) {
        SCOPED_TRACE(testing::Message() << "round " << round << " position " << position
                                        << " ignore case " << ignoreCase);
        ASSERT_EQ(FindText(text, s, {}, ignoreCase),
                  WalkFind(text, s, 0, text.size(), ignoreCase, false));
        ASSERT_EQ(FindTextReverse(text, s, {}, ignoreCase),
                  WalkFind(text, s, 0, text.size(), ignoreCase, true));
        ASSERT_EQ(
            FindText(text, s, position, ignoreCase),
            begin >= text.size() ? -1 : WalkFind(text, s, begin, text.size(), ignoreCase, false));
        ASSERT_EQ(FindTextReverse(text, s, position, ignoreCase),
                  WalkFind(text, s, 0, end, ignoreCase, true));
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Length and cuts
// ---------------------------------------------------------------------------

TEST(TextLength, CountsBytes) {
  EXPECT_EQ(TextLength(""), 0);
  EXPECT_EQ(TextLength("abc"), 3);
  EXPECT_EQ(TextLength("默认为："_gbk), 8);
}

struct CutCase {
  int count;
  Text left;
  Text right;
};

class CutTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutTest, CutsByBytes) {
  const Text text = "abcdef";
  EXPECT_EQ(LeftText(text, GetParam().count), GetParam().left);
  EXPECT_EQ(RightText(text, GetParam().count), GetParam().right);
}

INSTANTIATE_TEST_SUITE_P(Counts, CutTest,
                         testing::Values(CutCase{2, "ab", "ef"}, CutCase{0, "", ""},
                                         CutCase{-1, "", ""}, CutCase{6, "abcdef", "abcdef"},
                                         CutCase{100, "abcdef", "abcdef"},
                                         CutCase{2147483647, "abcdef", "abcdef"},
                                         CutCase{-2147483647 - 1, "", ""}));

TEST(Cut, KeepsHalfACharacter) {
  const Text text = "中文"_gbk;
  EXPECT_EQ(LeftText(text, 3), "\xD6\xD0\xCE");
  EXPECT_EQ(RightText(text, 3), "\xD0\xCE\xC4");
  EXPECT_EQ(LeftText("", 5), "");
}

// ---------------------------------------------------------------------------
// Conversions to text
// ---------------------------------------------------------------------------

struct NumberTextCase {
  double value;
  const char* text;
};

class NumberToTextTest : public testing::TestWithParam<NumberTextCase> {};

TEST_P(NumberToTextTest, UsesThirteenSignificantDigits) {
  EXPECT_EQ(ToText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, NumberToTextTest,
    testing::Values(
        NumberTextCase{1234567.0, "1234567"}, NumberTextCase{0.1, "0.1"}, NumberTextCase{3.0, "3"},
        NumberTextCase{0.5, "0.5"}, NumberTextCase{-2.25, "-2.25"}, NumberTextCase{0.0, "0"},
        NumberTextCase{1.0 / 3.0, "0.3333333333333"}, NumberTextCase{2.0 / 3.0, "0.6666666666667"},
        NumberTextCase{9999999999999.0, "9999999999999"}, NumberTextCase{10000000000000.0, "1e+13"},
        NumberTextCase{12345678901234.0, "1.234567890123e+13"}, NumberTextCase{0.0001, "0.0001"},
        NumberTextCase{0.00001, "1e-05"}, NumberTextCase{0.000012345, "1.2345e-05"},
        NumberTextCase{1e100, "1e+100"}, NumberTextCase{-1.5e-300, "-1.5e-300"}));

TEST(ToText, NumberIgnoresTheEnvironmentLocale) {
  // The GUI toolkit adopts the user's locale; a decimal comma must not leak in.
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no German locale";
  EXPECT_EQ(ToText(0.5), "0.5");
  EXPECT_EQ(ToNumber("1.5"), 1.5);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ToText, IntegersAndLogicals) {
  EXPECT_EQ(ToText(0), "0");
  EXPECT_EQ(ToText(-42), "-42");
  EXPECT_EQ(ToText(2147483647), "2147483647");
  EXPECT_EQ(ToText(-2147483647 - 1), "-2147483648");
  EXPECT_EQ(ToText(true), "真"_gbk);
  EXPECT_EQ(ToText(false), "假"_gbk);
  EXPECT_EQ(ToText(true), "\xD5\xE6");
}

TEST(ToText, ByteSetStopsAtFirstZero) {
  EXPECT_EQ(ToText(Bytes("ab\0cd", 5)), "ab");
  EXPECT_EQ(ToText(Bytes("\0ab", 3)), "");
  EXPECT_EQ(ToText(Bytes("abcd")), "abcd");
  EXPECT_EQ(ToText(Bytes()), "");
}

// ---------------------------------------------------------------------------
// Conversions to number and byte set
// ---------------------------------------------------------------------------

struct ParseCase {
  Text text;
  double value;
};

class ToNumberTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ToNumberTest, Parses) {
  EXPECT_EQ(ToNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ToNumberTest,
    testing::Values(ParseCase{"123", 123}, ParseCase{"12abc", 12}, ParseCase{"abc", 0},
                    ParseCase{"", 0}, ParseCase{"  42", 42}, ParseCase{"\t\n7", 7},
                    ParseCase{"-3.5", -3.5}, ParseCase{"+8", 8}, ParseCase{".5", 0.5},
                    ParseCase{"1e3", 1000}, ParseCase{"2.5e-1x", 0.25}, ParseCase{"1e", 1},
                    ParseCase{"- 5", 0}, ParseCase{"-.5e+1", -5}, ParseCase{"7.e2", 700},
                    ParseCase{"1e+", 1}, ParseCase{".", 0}, ParseCase{"+.e1", 0},
                    // Only decimal numbers: the C library's words and hexadecimal
                    // numbers read as what they start with.
                    ParseCase{"0x10", 0}, ParseCase{"0X1p3", 0}, ParseCase{"inf", 0},
                    ParseCase{" -Infinity", 0}, ParseCase{"nan", 0}, ParseCase{"NAN(1)", 0},
                    ParseCase{"ｉｎｆ"_gbk, 0},
                    // Full-width forms read as their ASCII twins.
                    ParseCase{"１２３"_gbk, 123}, ParseCase{"\xA3\xB1\xA3\xB2\xA3\xB3", 123},
                    ParseCase{"－１．５"_gbk, -1.5},
                    ParseCase{"\xA1\xA1\xA1\xA1"
                              "9",
                              9},
                    ParseCase{"　１０"_gbk, 10}, ParseCase{"１ｅ２"_gbk, 100},
                    // Other two-byte characters stop the number.
                    ParseCase{"12中"_gbk, 12}, ParseCase{"中12"_gbk, 0},
                    // A cut-off character at the end is dropped.
                    ParseCase{"12\xA3", 12}));

TEST(ToNumber, TooLargeIsInfinityAsTheCLibraryHasIt) {
  EXPECT_TRUE(std::isinf(ToNumber("1e999")));
  EXPECT_TRUE(std::signbit(ToNumber("-0")));
}

TEST(ToBytes, CopiesTheBytes) {
  EXPECT_EQ(ToBytes("ab"), "ab");
  EXPECT_EQ(ToBytes(""), "");
  EXPECT_EQ(ToBytes("中"_gbk).size(), 2u);
}

// ---------------------------------------------------------------------------
// Rounding
// ---------------------------------------------------------------------------

struct RoundCase {
  double value;
  int places;
  double expected;
};

class RoundNumberTest : public testing::TestWithParam<RoundCase> {};

TEST_P(RoundNumberTest, RoundsHalfAwayFromZero) {
  const RoundCase& c = GetParam();
  EXPECT_DOUBLE_EQ(RoundNumber(c.value, c.places), c.expected)
      << c.value << " to " << c.places << " places";
}

INSTANTIATE_TEST_SUITE_P(Values, RoundNumberTest,
                         testing::Values(RoundCase{2.5, 0, 3}, RoundCase{-2.5, 0, -3},
                                         RoundCase{2.4, 0, 2}, RoundCase{-2.4, 0, -2},
                                         RoundCase{2.4999999999999, 0, 3}, RoundCase{2.49999, 0, 2},
                                         RoundCase{0.5, 0, 1}, RoundCase{7, 0, 7},
                                         RoundCase{1.25, 1, 1.3}, RoundCase{-1.25, 1, -1.3},
                                         RoundCase{1.2345, 2, 1.23}, RoundCase{1250, -2, 1300},
                                         RoundCase{-1250, -2, -1300}, RoundCase{1249, -2, 1200},
                                         RoundCase{49, -2, 0}, RoundCase{1.5, 400, 1.5},
                                         RoundCase{1e300, 10, 1e300}, RoundCase{123, -400, 0}));

TEST(RoundNumber, ZeroStaysAsItIs) {
  EXPECT_EQ(RoundNumber(0.0), 0.0);
  EXPECT_TRUE(std::signbit(RoundNumber(-0.0)));
  EXPECT_TRUE(std::isnan(RoundNumber(std::nan(""))));
}

// ---------------------------------------------------------------------------
// Random numbers
// ---------------------------------------------------------------------------

class RandomNumberTest : public testing::Test {
 protected:
  void SetUp() override { ResetRandomNumber(); }
};

TEST_F(RandomNumberTest, DrawsTheClassicSequence) {
  const std::vector<int> expected = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(RandomNumber(0, 32767), value);
}

TEST_F(RandomNumberTest, FullRangeStillYieldsFifteenBits) {
  EXPECT_EQ(RandomNumber(), 41);
  EXPECT_EQ(RandomNumber(), 18467);
}

TEST_F(RandomNumberTest, ReducesIntoBounds) {
  EXPECT_EQ(RandomNumber(0, 99), 41);
  EXPECT_EQ(RandomNumber(0, 99), 67);
  EXPECT_EQ(RandomNumber(0, 99), 34);
}

TEST_F(RandomNumberTest, EqualBoundsDrawNothing) {
  EXPECT_EQ(RandomNumber(5, 5), 5);
  EXPECT_EQ(RandomNumber(-3, 0), 0);  // both bounds count as 0
  EXPECT_EQ(RandomNumber(0, 99), 41);
}

TEST_F(RandomNumberTest, SwappedAndNegativeBounds) {
  EXPECT_EQ(RandomNumber(10, 0), 41 % 11);
  EXPECT_EQ(RandomNumber(-7, 3), 18467 % 4);
  for (int i = 0; i < 1000; ++i) {
    const int value = RandomNumber(10, 0);
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 10);
  }
}

TEST_F(RandomNumberTest, OffsetsFromTheLowBound) {
  EXPECT_EQ(RandomNumber(100, 199), 141);
  EXPECT_EQ(RandomNumber(2147483600, 2147483647), 2147483600 + 18467 % 48);
}

TEST_F(RandomNumberTest, ResetStartsOver) {
  RandomNumber();
  RandomNumber();
  ResetRandomNumber();
  EXPECT_EQ(RandomNumber(), 41);
}

TEST_F(RandomNumberTest, EachThreadHasItsOwnGenerator) {
  RandomNumber();
  int first = -1;
  std::thread([&first] { first = RandomNumber(); }).join();
  EXPECT_EQ(first, 41);
  EXPECT_EQ(RandomNumber(), 18467);
}

}  // namespace
}  // namespace lirvo
