// The browse window's folder switches and its title pool, off-screen.
#include <QComboBox>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "collect/records.h"
#include "library/browse_fixture.h"
#include "library/category_lists.h"

namespace lirvo::test {
namespace {

using ::testing::UnorderedElementsAre;

class CategoryListsTest : public BrowseFixture {};

TEST_F(CategoryListsTest, CreatedListsFirstCompletedCategoryAndPoolsItsArchives) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "乙书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "X.RAR");  // copied in by hand: ".rar" ignores case
  AddArchive(true, "玄幻小说"_gbk, ".NET修炼手册.rar"_gbk);  // an ordinary file
  AddArchive(true, "玄幻小说"_gbk, "说明.txt"_gbk);
  // A folder named like an archive never enters the pool.
  MakeFolders(ArchiveFolder(true, "玄幻小说"_gbk) + "\\丙书.rar"_gbk);
  AddArchive(true, "都市小说"_gbk, "丁书.rar"_gbk);

  OpenBrowse();

  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(true, "玄幻小说"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("甲书"_gbk, "乙书"_gbk, "X", ".NET修炼手册"_gbk));
}

TEST_F(CategoryListsTest, FileNamedOnlyRarGivesAnEmptyEntry) {
  AddArchive(true, "玄幻小说"_gbk, ".rar");
  AddArchive(true, "玄幻小说"_gbk, "a.rar");
  OpenBrowse();
  EXPECT_THAT(Pool(), UnorderedElementsAre("", "a"));
}

TEST_F(CategoryListsTest, MissingFolderGivesEmptyListAndPool) {
  OpenBrowse();
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(true, "玄幻小说"_gbk));
  EXPECT_TRUE(Pool().empty());
  EXPECT_EQ(ui::FileBoxSelected(bw::文件框1), "");
}

// The collection summary's hand-off after an ongoing run in 都市小说: the pool
// holds that category's titles from the start, not those of 玄幻小说, which the
// window listed while it was being created.
TEST_F(CategoryListsTest, HandOffPoolsTheCollectedCategory) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(false, "都市小说"_gbk, "丁书.rar"_gbk);
  AddArchive(false, "都市小说"_gbk, "戊书.rar"_gbk);
  AddArchive(false, "玄幻奇幻"_gbk, "己书.rar"_gbk);
  for (ui::Window w : {ui::Window::Main, ui::Window::Progress, ui::Window::CollectPage})
    ASSERT_TRUE(ui::OpenWindow(w));
  ui::SetChecked(ui::main_win::单选框1, false);
  ui::SetChecked(ui::main_win::单选框2, true);
  ui::SetComboIndex(ui::main_win::连载类, 2);
  answer = 0;  // OK: look at the files

  collect::Summary();

  EXPECT_EQ(ui::ComboText(bw::连载类), "都市小说"_gbk);
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(false, "都市小说"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("丁书"_gbk, "戊书"_gbk));
  ui::ProcessPendingEvents();
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Main));
  EXPECT_THAT(Pool(), UnorderedElementsAre("丁书"_gbk, "戊书"_gbk));
}

// The user's clicks on the radio buttons and choices from the lists.
TEST_F(CategoryListsTest, SwitchesListAndPoolTheChosenFolder) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(true, "言情小说"_gbk, "戊书.rar"_gbk);
  AddArchive(false, "玄幻奇幻"_gbk, "己书.rar"_gbk);
  AddArchive(false, "历史军事"_gbk, "庚书.rar"_gbk);
  AddArchive(false, "历史军事"_gbk, "辛书.rar"_gbk);
  OpenBrowse();

  // "连载中": the ongoing list shows with its own selection, listed at once.
  input::Click(Live(bw::单选框2));
  EXPECT_FALSE(ui::Checked(bw::单选框1));
  EXPECT_FALSE(ui::Visible(bw::完本类));
  EXPECT_TRUE(ui::Visible(bw::连载类));
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(false, "玄幻奇幻"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("己书"_gbk));

  input::ChooseFromList(Live<QComboBox>(bw::连载类), 4);
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(false, "历史军事"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("庚书"_gbk, "辛书"_gbk));

  // Back to "完本" with the arrow key: its list kept item 0 selected.
  ui::SetFocus(bw::单选框2);
  input::Press(Qt::Key_Left);
  EXPECT_TRUE(ui::Checked(bw::单选框1));
  EXPECT_TRUE(ui::Visible(bw::完本类));
  EXPECT_FALSE(ui::Visible(bw::连载类));
  EXPECT_THAT(Pool(), UnorderedElementsAre("甲书"_gbk));

  input::ChooseFromList(Live<QComboBox>(bw::完本类), 2);
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), ArchiveFolder(true, "言情小说"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("戊书"_gbk));

  // A category without a folder empties the pool.
  input::ChooseFromList(Live<QComboBox>(bw::完本类), 15);
  EXPECT_TRUE(Pool().empty());
}

TEST_F(CategoryListsTest, NoSelectionListsTheKindFolderItself) {
  AddArchive(false, "", "散书.rar"_gbk);
  OpenBrowse();
  ui::SetComboIndex(bw::连载类, -1);
  library::BrowseOngoingSelected();
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), m_folder.Path("小说\\连载中\\"_gbk));
  EXPECT_THAT(Pool(), UnorderedElementsAre("散书"_gbk));
}

TEST_F(CategoryListsTest, ClosingTheWindowEndsTheProgramWithCodeZero) {
  OpenBrowse();
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        ui::SetExitRoutine(nullptr);
        ui::CloseWindow(ui::Window::Browse);
        ui::ProcessPendingEvents();
        std::exit(3);  // not reached when the destruction ends the program
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lirvo::test
