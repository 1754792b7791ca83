// Archive patterns, titles and search keys: pure functions over
// GBK texts.
#include <gtest/gtest.h>

#include <filesystem>

#include "library/category_lists.h"
#include "library/library_matches.h"
#include "library/search.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/native_path.h"
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

// More novels than one reader takes at a time, over two record folders, so
// every reader's share and both folders count; a novel without a record, or
// whose record names no author, has none.
TEST(ReadAuthorsTest, EveryNovelGetsItsOwnRecordsAuthor) {
  test::TempFolder folder;
  const Text kinds[] = {layout::CategoryPath(true, "玄幻小说"_gbk),
                        layout::CategoryPath(false, "都市小说"_gbk)};
  for (const Text& kind : kinds) {
    std::filesystem::create_directories(NativePath(layout::RecordFolder(kind)));
  }
  constexpr int kNovels = 1300;
  Text index = "[小说]\r\n"_gbk;
  for (int i = 0; i < kNovels; ++i) {
    const Text& kind = kinds[i % 2];
    const Text title = "书"_gbk + std::to_string(i);
    index += title + "=" + layout::ArchivePath(kind, title) + "\r\n";
    if (i % 7 == 3) continue;  // no record
    const Text key = i % 11 == 5 ? "来源"_gbk : "作者"_gbk;
    const Text record = "["_gbk + title + "]\r\n" + key + "=" + "者"_gbk + std::to_string(i);
    ASSERT_TRUE(WriteFile(layout::RecordPath(kind, title), record + "\r\n"));
  }
  ASSERT_TRUE(WriteFile(layout::NovelIndexPath(), index));

  std::vector<NovelEntry> novels = ReadIndexEntries();
  ReadAuthors(novels);
  ASSERT_EQ(novels.size(), std::size_t{kNovels});
  for (int i = 0; i < kNovels; ++i) {
    const Text expected = i % 7 == 3 || i % 11 == 5 ? Text() : "者"_gbk + std::to_string(i);
    ASSERT_EQ(novels[i].author, expected) << i;
  }
}

}  // namespace
}  // namespace lirvo::library
