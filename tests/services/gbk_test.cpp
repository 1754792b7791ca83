#include "services/gbk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace lirvo {
namespace {

using namespace lirvo::literals;

// ---------------------------------------------------------------------------
// Literals: the program's texts must have their GBK byte lengths, which the
// page cuts and messages count on.
// ---------------------------------------------------------------------------

struct LiteralCase {
  std::string gbk;
  std::size_t length;
  const char* bytes;  // hex of the first bytes, or nullptr
};

class GbkLiteralTest : public testing::TestWithParam<LiteralCase> {};

TEST_P(GbkLiteralTest, HasItsGbkLength) {
  EXPECT_EQ(GetParam().gbk.size(), GetParam().length);
  if (GetParam().bytes) {
    EXPECT_EQ(GetParam().gbk.substr(0, 4), GetParam().bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Literals, GbkLiteralTest,
    testing::Values(LiteralCase{"默认为："_gbk, 8, "\xC4\xAC\xC8\xCF"},
                    LiteralCase{"小说种类还未选择"_gbk, 16, "\xD0\xA1\xCB\xB5"},
                    LiteralCase{"篇小说！是否查看文件？"_gbk, 22, nullptr},
                    LiteralCase{"小说\\ini\\小说.ini"_gbk, 17, nullptr},
                    LiteralCase{"运行时出错!\r\n\r\n"_gbk, 15, nullptr},
                    LiteralCase{"信息："_gbk, 6, nullptr}, LiteralCase{"完本"_gbk, 4, nullptr},
                    LiteralCase{"<li>"_gbk, 4, "<li>"}, LiteralCase{""_gbk, 0, nullptr}));

// ---------------------------------------------------------------------------
// Round trips through the file-system edge
// ---------------------------------------------------------------------------

class GbkRoundTripTest : public testing::TestWithParam<const char*> {};

TEST_P(GbkRoundTripTest, Utf8SurvivesGbk) {
  const std::string utf8 = GetParam();
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk(utf8)), utf8);
}

INSTANTIATE_TEST_SUITE_P(Names, GbkRoundTripTest,
                         testing::Values("斗破苍穹.rar", "乗物語\\第一卷", "a b-c_1.txt", "€ 价格",
                                         "小说\\jpg\\封面.jpg", "",
                                         // Outside GBK: written in GB18030 form.
                                         "表情😀", "𠀀字", "⺁", "\xEE\x80\x80"));

TEST(Gbk, TrailByteBackslashStaysInsideItsCharacter) {
  const std::string gbk = "乗"_gbk;
  ASSERT_EQ(gbk, "\x81\x5C");
  EXPECT_EQ(GbkToUtf8(gbk + "\\x"), "乗\\x");
}

TEST(Gbk, EuroSignIsByte80) {
  EXPECT_EQ(GbkToUtf8("\x80"), "€");
  EXPECT_EQ(Utf8ToGbk("€"), "\x80");
}

TEST(Gbk, CharactersOutsideGbkUseFourByteForms) {
  const std::string emoji = Utf8ToGbk("😀");
  EXPECT_EQ(emoji, "\x94\x39\xFC\x36");
  EXPECT_EQ(GbkToUtf8("a" + emoji + "b"), "a😀b");
  EXPECT_EQ(Utf8ToGbk("𠀀").size(), 4u);
}

// ---------------------------------------------------------------------------
// Broken input never stops the conversion
// ---------------------------------------------------------------------------

struct BrokenCase {
  std::string gbk;
  std::string utf8;
};

class GbkBrokenTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(GbkBrokenTest, ReplacesWhatCannotBeRead) {
  EXPECT_EQ(GbkToUtf8(GetParam().gbk), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Bytes, GbkBrokenTest,
                         testing::Values(
                             // A page cut in the middle of a character.
                             BrokenCase{"ab\xD6", "ab\xEF\xBF\xBD"},
                             BrokenCase{"\xD6\xD0\xCE", "中\xEF\xBF\xBD"},
                             BrokenCase{"\xFF"
                                        "a",
                                        "\xEF\xBF\xBD"
                                        "a"},
                             // A four-byte form that is cut short is not taken as one.
                             BrokenCase{"\x94\x39\xFC",
                                        "\xEF\xBF\xBD"
                                        "9\xEF\xBF\xBD"},
                             BrokenCase{std::string("a\0b", 3), std::string("a\0b", 3)}));

TEST(Gbk, InvalidUtf8PassesThrough) {
  EXPECT_EQ(Utf8ToGbk("a\xFF"
                      "b"),
            "a\xFF"
            "b");
  EXPECT_EQ(Utf8ToGbk("中\xE4\xB8"), "\xD6\xD0\xE4\xB8");
}

TEST(Gbk, LongTextsConvertWhole) {
  std::string utf8;
  for (int i = 0; i < 2000; ++i) utf8 += "说";
  const std::string gbk = Utf8ToGbk(utf8);
  EXPECT_EQ(gbk.size(), 4000u);
  EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

// Conversions reuse their converters; a broken text must leave nothing behind
// for the next one, on any thread.
TEST(Gbk, ABrokenTextDoesNotSpoilTheNextConversion) {
  EXPECT_EQ(GbkToUtf8("\xD6"), "\xEF\xBF\xBD");  // a lead byte cut off at the end
  EXPECT_EQ(GbkToUtf8("\xD6\xD0"), "中");
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8"), "\xE4\xB8");
  EXPECT_EQ(Utf8ToGbk("中"), "\xD6\xD0");
}

TEST(Gbk, ThreadsConvertSideBySide) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::string utf8 = "第" + std::to_string(t * 10000 + i) + "篇€";
        const std::string broken = (i % 3 == 0) ? "\x81" : "";
        if (GbkToUtf8(Utf8ToGbk(utf8) + broken) != utf8 + (broken.empty() ? "" : "\xEF\xBF\xBD"))
          ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace lirvo
