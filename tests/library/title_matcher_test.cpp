// What the match list under the browse window's search box finds, and in
// which order: one table over titles, authors, pinyin, traditional
// characters and folded forms.
#include <gtest/gtest.h>

#include "library/title_matcher.h"
#include "services/gbk.h"

namespace lirvo::library {
namespace {

struct MatchCase {
  const char* typed;  // UTF-8
  std::vector<const char*> titles;
};

std::vector<NovelEntry> Library() {
  const char* novels[][2] = {
      {"斗罗大陆", "唐家三少"}, {"绝世斗罗", "唐家三少"}, {"重生之都市修仙", "十里剑神"},
      {"长生界", "辰东"},       {"鬥破蒼穹", "天蠶土豆"}, {"LOL之王", "乱"},
      {"斗罗", "某人"},         {"绿野仙踪", ""},         {"全职 高手", "蝴蝶蓝"},
  };
  std::vector<NovelEntry> entries;
  for (const auto& [title, author] : novels) {
    entries.push_back({Utf8ToGbk(title), Utf8ToGbk(author), {}});
  }
  return entries;
}

class TitleMatcherTest : public ::testing::TestWithParam<MatchCase> {
 protected:
  static TitleMatcher& Matcher() {
    static TitleMatcher matcher(Library());
    return matcher;
  }
};

TEST_P(TitleMatcherTest, FindsBestFirst) {
  std::vector<std::string> found;
  for (const std::size_t n : Matcher().Find(Utf8ToGbk(GetParam().typed), 10)) {
    found.push_back(GbkToUtf8(Matcher().Novel(n).title));
  }
  const std::vector<std::string> expected(GetParam().titles.begin(), GetParam().titles.end());
  EXPECT_EQ(found, expected) << GetParam().typed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitleMatcherTest,
    ::testing::Values(
        // any part of the title; whole title, then prefixes, then inside
        MatchCase{"罗大", {"斗罗大陆"}}, MatchCase{"斗罗", {"斗罗", "斗罗大陆", "绝世斗罗"}},
        // the author, after every title match
        MatchCase{"唐家", {"斗罗大陆", "绝世斗罗"}}, MatchCase{"辰东", {"长生界"}},
        MatchCase{"罗", {"斗罗", "斗罗大陆", "绝世斗罗"}},
        // pinyin in full, by initials, mixed, and a syllable still being typed
        MatchCase{"douluo", {"斗罗", "斗罗大陆", "绝世斗罗"}}, MatchCase{"dldl", {"斗罗大陆"}},
        MatchCase{"dluod", {"斗罗大陆"}}, MatchCase{"douluodal", {"斗罗大陆"}},
        MatchCase{"tangjia", {"斗罗大陆", "绝世斗罗"}},
        // every reading of a character with several
        MatchCase{"chongsheng", {"重生之都市修仙"}}, MatchCase{"zhongsheng", {"重生之都市修仙"}},
        MatchCase{"changsheng", {"长生界"}}, MatchCase{"zhangsheng", {"长生界"}},
        MatchCase{"cs", {"长生界", "重生之都市修仙"}}, MatchCase{"dushi", {"重生之都市修仙"}},
        MatchCase{"lvye", {"绿野仙踪"}}, MatchCase{"luye", {"绿野仙踪"}},
        // traditional for simplified and the reverse, authors too
        MatchCase{"鬥羅", {"斗罗", "斗罗大陆", "绝世斗罗"}}, MatchCase{"斗破苍", {"鬥破蒼穹"}},
        MatchCase{"天蚕", {"鬥破蒼穹"}}, MatchCase{"doupo", {"鬥破蒼穹"}},
        // ASCII case, full-width forms and blanks
        MatchCase{"DOULUO", {"斗罗", "斗罗大陆", "绝世斗罗"}}, MatchCase{"ｄｌｄｌ", {"斗罗大陆"}},
        MatchCase{"lol", {"LOL之王"}}, MatchCase{"Ｌｏｌ之", {"LOL之王"}},
        MatchCase{"dou luo da", {"斗罗大陆"}}, MatchCase{"职高", {"全职 高手"}},
        // nothing
        MatchCase{"", {}}, MatchCase{" ", {}}, MatchCase{"xq", {}}, MatchCase{"大罗", {}},
        MatchCase{"douluoa", {}}));

TEST(TitleMatcherLimitTest, KeepsTheBestOnly) {
  TitleMatcher matcher(Library());
  const std::vector<std::size_t> found = matcher.Find(Utf8ToGbk("斗"), 2);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(GbkToUtf8(matcher.Novel(found[0]).title), "斗罗");
  EXPECT_EQ(GbkToUtf8(matcher.Novel(found[1]).title), "斗罗大陆");
}

}  // namespace
}  // namespace lirvo::library
