// The library's layout: every path the program writes, under the program
// folder or under a root of its own.
#include "services/library_layout.h"

#include <gtest/gtest.h>

#include "services/gbk.h"
#include "support/temp_folder.h"

namespace lirvo::layout {
namespace {

using namespace lirvo::literals;

TEST(LibraryLayoutTest, EveryPathUnderTheProgramFolder) {
  test::TempFolder folder;
  const Text pf = folder.Path();
  const Text completed = CategoryPath(true, "玄幻小说"_gbk);
  const Text ongoing = CategoryPath(false, "都市小说"_gbk);
  EXPECT_EQ(ArchivePath(completed, "某书"_gbk), pf + "\\小说\\完本\\玄幻小说\\某书.rar"_gbk);
  EXPECT_EQ(ArchiveFolder(ongoing), pf + "\\小说\\连载中\\都市小说"_gbk);
  // No selection: the side's parent folder, ending in the separator.
  EXPECT_EQ(ArchiveFolder(CategoryPath(false, {})), pf + "\\小说\\连载中\\"_gbk);
  EXPECT_EQ(CoverPath("某书"_gbk), pf + "\\小说\\jpg\\某书.jpg"_gbk);
  EXPECT_EQ(RecordPath(ongoing, "某书"_gbk), pf + "\\小说\\ini\\连载中\\都市小说\\某书.ini"_gbk);
  EXPECT_EQ(IntroductionPath(completed, "某书"_gbk),
            pf + "\\小说\\ini\\完本\\玄幻小说\\某书简介.ini"_gbk);
  EXPECT_EQ(NovelIndexPath(), pf + "\\小说\\ini\\小说.ini"_gbk);
  EXPECT_EQ(ListingCachePath("玄幻小说"_gbk, 12), pf + "\\缓存\\玄幻小说\\12.html"_gbk);
  EXPECT_EQ(DownloadPagePath("某书"_gbk), pf + "\\缓存\\某书下载页.html"_gbk);
  EXPECT_EQ(UpdateProgramPath(), pf + "\\Lirvo-更新.exe"_gbk);
}

TEST(LibraryLayoutTest, AnotherRootMovesEverythingAndTheTreeListsParentsFirst) {
  test::TempFolder folder;
  SetLibraryRoot("/data/lirvo");
  EXPECT_EQ(NovelIndexPath(), "/data/lirvo\\小说\\ini\\小说.ini"_gbk);
  EXPECT_EQ(CacheFolder(), "/data/lirvo\\缓存"_gbk);
  const std::vector<Text> tree = FolderTree({"甲"_gbk, "乙"_gbk}, {"丙"_gbk});
  ASSERT_EQ(tree.size(), 8u + 2 * 6);
  EXPECT_EQ(tree[0], "/data/lirvo\\缓存"_gbk);
  EXPECT_EQ(tree[1], "/data/lirvo\\小说"_gbk);
  EXPECT_EQ(tree[8], "/data/lirvo\\小说\\连载中\\丙"_gbk);
  // Past the end of the ongoing list its name is empty.
  EXPECT_EQ(tree[14], "/data/lirvo\\小说\\连载中\\"_gbk);
  EXPECT_EQ(tree[19], "/data/lirvo\\缓存\\"_gbk);
  SetLibraryRoot({});
  EXPECT_EQ(CacheFolder(), folder.Path() + "\\缓存"_gbk);
}

}  // namespace
}  // namespace lirvo::layout
