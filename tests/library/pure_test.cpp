// Archive patterns, titles and search keys: pure functions over
// GBK texts.
#include <gtest/gtest.h>

#include "library/category_lists.h"
#include "library/search.h"
#include "services/files.h"
#include "services/gbk.h"
#include "support/temp_folder.h"

namespace lirvo::library {
namespace {

using namespace lirvo::literals;

TEST(ArchivePatternTest, SeparatorAddedOnlyWhenMissing) {
  EXPECT_EQ(ArchivePattern("/x/小说\\完本\\"_gbk), "/x/小说\\完本\\*.rar"_gbk);
  EXPECT_EQ(ArchivePattern("/x/小说\\完本\\都市小说"_gbk), "/x/小说\\完本\\都市小说\\*.rar"_gbk);
  EXPECT_EQ(ArchivePattern({}), "\\*.rar");
}

TEST(TitleOfNameTest, LastFourBytesGoWhateverTheyAre) {
  EXPECT_EQ(TitleOfName("某书.rar"_gbk), "某书"_gbk);
  EXPECT_EQ(TitleOfName("某书.txt"_gbk), "某书"_gbk);
  EXPECT_EQ(TitleOfName(".rar"), "");
  EXPECT_EQ(TitleOfName("ab"), "");
  // Byte counts: a cut inside a two-byte character keeps its lead byte.
  EXPECT_EQ(TitleOfName("书abc"_gbk), Text("\xCA"));
}

// Box text -> key: ".rar" goes first, then "rar", by exact bytes.
struct KeyCase {
  const char* box;  // UTF-8
  const char* key;  // UTF-8
};

class SearchKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(SearchKeyTest, SuffixRules) {
  EXPECT_EQ(SearchKey(Utf8ToGbk(GetParam().box)), Utf8ToGbk(GetParam().key));
}

INSTANTIATE_TEST_SUITE_P(
    Suffixes, SearchKeyTest,
    ::testing::Values(KeyCase{"某书.rar", "某书"}, KeyCase{"某书rar", "某书"},
                      KeyCase{"某书", "某书"},
                      // both steps run: ".rar" then "rar"
                      KeyCase{"某书rar.rar", "某书"}, KeyCase{"a.rar.rar", "a."},
                      // a title ending in "rar" loses it
                      KeyCase{"Lunarrar", "Lunar"}, KeyCase{"rar", ""}, KeyCase{".rar", ""},
                      // upper case stays
                      KeyCase{"某书.RAR", "某书.RAR"}, KeyCase{"某书RAR", "某书RAR"},
                      KeyCase{"某书.rar ", "某书.rar "}, KeyCase{" ", " "}, KeyCase{"", ""}));

}  // namespace
}  // namespace lirvo::library
