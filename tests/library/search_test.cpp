// Title suggestions and the search of the novel index.
#include <QComboBox>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "library/browse_fixture.h"
#include "library/category_lists.h"
#include "library/search.h"
#include "services/native_path.h"
#include "services/profile.h"

namespace lirvo::test {
namespace {

const char kFailure[] =
    "寻找失败，原因如下：\r\n  ①：本文件不存在\r\n  "
    "②：本文件存在但是本程序更新后没有采集过本类小说，采集时不论是否成功、失败！！";

class SearchTest : public BrowseFixture {
 protected:
  Text IndexPath() const { return m_folder.Path("小说\\ini\\小说.ini"_gbk); }
  void AddIndexLine(const Text& title, const Text& archive) {
    MakeFolders(m_folder.Path("小说\\ini"_gbk));
    ASSERT_TRUE(WriteProfile(IndexPath(), "小说"_gbk, title, archive));
  }
  void Search(const Text& boxText) {
    ui::SetEditText(bw::编辑框1, boxText);
    library::BrowseSearchClicked();
  }
  void ExpectFailureShown() {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, Utf8ToGbk(kFailure));
    EXPECT_EQ(messages[0].style, 0x40);
    EXPECT_TRUE(openedUrls.empty());
  }
};

// ---- search

TEST_F(SearchTest, FoundTitleOffersToOpenItsArchive) {
  const Text archive = ArchiveFolder(false, "网游竞技"_gbk) + "\\某书.rar"_gbk;
  AddArchive(false, "网游竞技"_gbk, "某书.rar"_gbk, "rar");
  AddIndexLine("某书"_gbk, archive);
  OpenBrowse();

  Search("某书.rar"_gbk);

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, "寻找成功，是否打开？"_gbk);
  EXPECT_EQ(messages[0].style, 1);
  EXPECT_EQ(openedUrls, std::vector<Text>{archive});
}

TEST_F(SearchTest, CancelOpensNothing) {
  AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk, "rar");
  AddIndexLine("某书"_gbk, ArchiveFolder(true, "玄幻小说"_gbk) + "\\某书.rar"_gbk);
  OpenBrowse();
  answer = 1;
  Search("某书"_gbk);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(openedUrls.empty());
}

TEST_F(SearchTest, UnknownTitleShowsTheFailureText) {
  AddIndexLine("某书"_gbk, "/somewhere/某书.rar"_gbk);
  OpenBrowse();
  Search("某"_gbk);  // no partial match
  ExpectFailureShown();
}

TEST_F(SearchTest, InitialBlankBoxShowsTheFailureText) {
  AddIndexLine("某书"_gbk, "/somewhere/某书.rar"_gbk);
  OpenBrowse();
  ASSERT_EQ(ui::EditText(bw::编辑框1), " ");
  library::BrowseSearchClicked();
  ExpectFailureShown();
}

TEST_F(SearchTest, MissingIndexShowsTheFailureText) {
  OpenBrowse();
  Search("某书"_gbk);
  ExpectFailureShown();
}

TEST_F(SearchTest, TitleEndingInRarCannotBeFoundByItsExactName) {
  AddIndexLine("Lunarrar", "/somewhere/Lunarrar.rar");
  OpenBrowse();
  Search("Lunarrar");
  ExpectFailureShown();
}

// A failed download leaves no archive, and a library of an earlier version an
// empty one: the search says so and offers nothing to open.
TEST_F(SearchTest, MissingOrEmptyArchiveIsTold) {
  AddIndexLine("某书"_gbk, ArchiveFolder(true, "玄幻小说"_gbk) + "\\某书.rar"_gbk);
  OpenBrowse();
  for (const char* bytes : {static_cast<const char*>(nullptr), ""}) {
    SCOPED_TRACE(bytes == nullptr ? "missing" : "empty");
    messages.clear();
    if (bytes != nullptr) AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk, bytes);
    Search("某书"_gbk);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, library::SearchEmptyArchiveText());
    EXPECT_EQ(messages[0].style, 0x40);
    EXPECT_TRUE(openedUrls.empty());
  }
}

// A folder where the index must be: the browse window says so once when it
// opens, and so does every search, instead of "not found".
TEST_F(SearchTest, IndexThatIsAFolderIsNamed) {
  MakeFolders(IndexPath());
  OpenBrowse();
  Search("某书"_gbk);
  const Text told = "小说文件夹已损坏，无法读取小说索引，原因如下：\r\n  位置："_gbk +
                    Utf8ToGbk(NativePath(IndexPath())) +
                    "\r\n  原因：这里应是文件，却是一个同名的文件夹"_gbk;
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_EQ(m.message, told);
    EXPECT_EQ(m.style, 0x30);
  }
}

// ---- suggestions

TEST_F(SearchTest, TickWithEmptyPoolEmptiesTheBox) {
  OpenBrowse();
  ui::SetEditText(bw::编辑框1, "旧的"_gbk);
  library::BrowseTimerTick();
  EXPECT_EQ(ui::EditText(bw::编辑框1), "");
}

TEST_F(SearchTest, TickWithOneTitleAlwaysShowsIt) {
  AddArchive(true, "玄幻小说"_gbk, "独书.rar"_gbk);
  OpenBrowse();
  for (int i = 0; i < 20; ++i) {
    ui::SetEditText(bw::编辑框1, " ");
    library::BrowseTimerTick();
    ASSERT_EQ(ui::EditText(bw::编辑框1), "独书"_gbk);
  }
}

TEST_F(SearchTest, TickDrawsOverTheWholePool) {
  for (int i = 0; i < 100; ++i) AddArchive(true, "玄幻小说"_gbk, "书" + std::to_string(i) + ".rar");
  OpenBrowse();
  const std::vector<Text> pool = Pool();
  ASSERT_EQ(pool.size(), 100u);

  // The generator's first draws over 0..99 are 41, 67, 34.
  ResetRandomNumber();
  for (int index : {41, 67, 34}) {
    library::BrowseTimerTick();
    EXPECT_EQ(ui::EditText(bw::编辑框1), pool[index]);
  }
}

// The box's focus stops the suggestions; moving on, by Tab or by the folder
// switch that focuses the file box, starts them again.
TEST_F(SearchTest, TimerStopsWhileTheBoxHasTheFocus) {
  OpenBrowse();
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 5000);
  input::Click(Live(bw::编辑框1));
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 0);
  input::Press(Qt::Key_Tab);
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 5000);
  input::Press(Qt::Key_Backtab);
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 0);
  input::ChooseFromList(Live<QComboBox>(bw::完本类), 1);
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 5000);
}

}  // namespace
}  // namespace lirvo::test
