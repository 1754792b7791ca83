// The texts a run shows, byte for byte, and the numbers read from the main window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "collect/downloads.h"
#include "collect/records.h"
#include "collect/rules.h"
#include "services/gbk.h"

namespace lirvo::collect {
namespace {

using namespace lirvo::literals;

TEST(ProgressText, JoinsTheRecordAndTheRunningCountsNamingFailuresOnlyWhenThereAreSome) {
  const Text head = "标题：甲 \r\n作者：乙\r\n压缩文件大小：2500KB\r\n简介：好书\r\n\r\n"_gbk +
                    std::string(15, ' ');
  const Text label = RunLabel(true, "玄幻小说"_gbk);
  EXPECT_EQ(ProgressText("甲"_gbk, "乙"_gbk, "2500", "好书"_gbk, {3, 2, 0}, label),
            head +
                "共采集5篇小说，其中已存在2篇小说，本次成功采集3篇小说！  "
                "正在采集已完结的玄幻小说..."_gbk);
  EXPECT_EQ(ProgressText("甲"_gbk, "乙"_gbk, "2500", "好书"_gbk, {3, 2, 4}, label),
            head +
                "共采集9篇小说，其中已存在2篇小说，本次成功采集3篇小说，下载失败4篇！  "
                "正在采集已完结的玄幻小说..."_gbk);
}

TEST(ProgressText, ShowsAtMost64KBOfAnIntroductionAndNeverHalfACharacter) {
  const Text small = "好书"_gbk;
  EXPECT_EQ(ShownIntroduction(small), small);
  // One ASCII byte first puts a two-byte character across the limit.
  const Text big = "a" + std::string(kShownIntroductionBytes, '\xBA');
  const Text shown = ShownIntroduction(big);
  EXPECT_EQ(shown.size(), kShownIntroductionBytes - 1);
  EXPECT_EQ(shown, big.substr(0, kShownIntroductionBytes - 1));
}

TEST(RunLabel, OngoingLabelAddsXiaoshuoEvenAfterXiaoshuo) {
  EXPECT_EQ(RunLabel(true, "都市小说"_gbk), "已完结的都市小说"_gbk);
  EXPECT_EQ(RunLabel(false, "都市小说"_gbk), "连载中的都市小说小说"_gbk);
  EXPECT_EQ(RunLabel(false, "玄幻奇幻"_gbk), "连载中的玄幻奇幻小说"_gbk);
}

TEST(SummaryText, CountsInTheOrderOfTheMessage) {
  EXPECT_EQ(SummaryText({3, 2, 0}),
            "采集完成，共采集5篇小说，其中已存在2篇小说，本次成功采集3篇小说！是否查看文件？"_gbk);
  EXPECT_EQ(SummaryText({0, 0, 0}),
            "采集完成，共采集0篇小说，其中已存在0篇小说，本次成功采集0篇小说！是否查看文件？"_gbk);
  EXPECT_EQ(SummaryText({57, 0, 3}),
            "采集完成，共采集60篇小说，其中已存在0篇小说，本次成功采集57篇小说，下载失败3篇！"
            "是否查看文件？"_gbk);
}

TEST(LooksLikeWebPage, SeesPagesPastMarkAndSpaceInAnyCaseButNotArchives) {
  for (const char* page : {"<!DOCTYPE html>", "\xEF\xBB\xBF \r\n\t<HTML><body>", "<Head>",
                           "  <bOdY>maintenance</body>"})
    EXPECT_TRUE(LooksLikeWebPage(page)) << page;
  for (const char* other : {"Rar!\x1A\x07", "PK\x03\x04<html>", "", "   ", "<htm", "<p>down</p>"})
    EXPECT_FALSE(LooksLikeWebPage(other)) << other;
}

struct Kilobytes {
  const char* bytes;
  const char* shown;
};
class KilobytesTest : public testing::TestWithParam<Kilobytes> {};
TEST_P(KilobytesTest, RoundsThousandsHalvesAwayFromZero) {
  EXPECT_EQ(KilobytesText(GetParam().bytes), GetParam().shown);
}
INSTANTIATE_TEST_SUITE_P(Sizes, KilobytesTest,
                         testing::Values(Kilobytes{"2500000", "2500"}, Kilobytes{"1499", "1"},
                                         Kilobytes{"1500", "2"}, Kilobytes{"0", "0"},
                                         Kilobytes{"499", "0"}, Kilobytes{"-1", "0"}));

struct Delay {
  std::string text;
  int delay;
};
class ResponseDelayTest : public testing::TestWithParam<Delay> {};
TEST_P(ResponseDelayTest, ReadsTheNumberAfterAnOptionalPrefix) {
  EXPECT_EQ(ParseResponseDelay(Utf8ToGbk(GetParam().text)), GetParam().delay);
}
INSTANTIATE_TEST_SUITE_P(Texts, ResponseDelayTest,
                         testing::Values(Delay{"默认为：250", 250}, Delay{"250", 250},
                                         Delay{"默认为：", 0}, Delay{"abc", 0},
                                         Delay{"默认为：1", 1}, Delay{"2.9", 2}, Delay{"-3.7", -3},
                                         Delay{"默认为250", 0},
                                         Delay{"99999999999", std::numeric_limits<int>::min()},
                                         Delay{"默认为：inf", 0}));

TEST(TruncateToInt, BeyondTheRangeIsTheIndefiniteInteger) {
  constexpr int kIndefinite = std::numeric_limits<int>::min();
  EXPECT_EQ(TruncateToInt(2.9), 2);
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(TruncateToInt(2147483647.9), 2147483647);
  EXPECT_EQ(TruncateToInt(-2147483648.9), kIndefinite);
  EXPECT_EQ(TruncateToInt(2147483648.0), kIndefinite);
  EXPECT_EQ(TruncateToInt(1e300), kIndefinite);
  EXPECT_EQ(TruncateToInt(-1e300), kIndefinite);
  EXPECT_EQ(TruncateToInt(std::numeric_limits<double>::infinity()), kIndefinite);
  EXPECT_EQ(TruncateToInt(std::nan("")), kIndefinite);
}

}  // namespace
}  // namespace lirvo::collect
