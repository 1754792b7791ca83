// The browse window's file box and the list box services: what a listing
// takes, its order, the selection it keeps, and the events it does not raise.
#include <QListWidget>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "services/files.h"
#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/temp_folder.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;
using test::Live;

int g_selections = 0;

class FileBoxTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_selections = 0;
    RegisterHandler(Handler::BrowseFileSelected, [] { ++g_selections; });
    Touch("b.rar");
    Touch("A.rar");
    Touch("c.RAR");
    Touch(".NET修炼手册.rar");   // an ordinary file, as on Windows
    Touch(".lirvo-4242-7.tmp");  // the program's own temporary file
    Touch("中文.rar");
    Touch("阿.rar");
    std::filesystem::create_directory(m_folder.NativePath() + "/dir.rar");
    ASSERT_TRUE(OpenWindow(Window::Browse));
  }

  void Touch(const std::string& utf8Name) {
    std::ofstream(m_folder.NativePath() + "/" + utf8Name) << "x";
  }

  static std::vector<Text> Listed() {
    std::vector<Text> names;
    auto* box = Live<QListWidget>(browse_win::文件框1);
    for (int row = 0; row < box->count(); ++row) names.push_back(FromQt(box->item(row)->text()));
    return names;
  }

  test::TempFolder m_folder;
};

TEST_F(FileBoxTest, ListsFilesOnlySortedIgnoringCaseWithoutTemporaryFiles) {
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path());
  EXPECT_EQ(Listed(), (std::vector<Text>{".NET修炼手册.rar"_gbk, "A.rar", "b.rar", "c.RAR",
                                         "阿.rar"_gbk, "中文.rar"_gbk}));
  EXPECT_EQ(FileBoxFolder(browse_win::文件框1), m_folder.Path());
  EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "");
  EXPECT_EQ(g_selections, 0) << "a listing raises no event";
}

struct OrderCase {
  const char* label;
  std::vector<std::string> onDisk;  // UTF-8, in the order they are made
  std::vector<std::string> listed;
};

class FileBoxOrderTest : public FileBoxTest, public testing::WithParamInterface<OrderCase> {};

// Character by character: digits, punctuation and Latin letters before Han
// characters, whichever name is longer. Of names that differ only in case
// (Latin or Greek) the one listed first stays.
TEST_P(FileBoxOrderTest, ListsInTheDesktopsOrder) {
  const OrderCase& c = GetParam();
  std::filesystem::create_directory(m_folder.NativePath() + "/order");
  for (const std::string& name : c.onDisk) Touch("order/" + name);
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path("order"));
  std::vector<Text> expected;
  for (const std::string& name : c.listed) expected.push_back(Utf8ToGbk(name));
  EXPECT_EQ(Listed(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, FileBoxOrderTest,
    testing::Values(OrderCase{"ChineseAfterLatinInside",
                              {"1中.rar", "1.rar", "a中.rar", "A.rar", "ab.rar"},
                              {"1.rar", "1中.rar", "A.rar", "ab.rar", "a中.rar"}},
                    OrderCase{"LatinAfterChineseInside",
                              {"中文1.rar", "中文.rar", "中a.rar", "中.rar", "阿z.rar"},
                              {"阿z.rar", "中.rar", "中a.rar", "中文.rar", "中文1.rar"}},
                    OrderCase{"CaseOnlyTwins",
                              {"x.rar", "X.rar", "α.rar", "Α.rar", "x.RAR"},
                              {"X.rar", "Α.rar"}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.label); });

TEST_F(FileBoxTest, FolderEndingInASeparatorListsTheSame) {
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path() + "\\");
  EXPECT_EQ(Listed().size(), 6u);
}

TEST_F(FileBoxTest, EmptyFolderTextListsTheCurrentDirectory) {
  SetFileBoxFolder(browse_win::文件框1, "");
  EXPECT_EQ(Listed().size(), 6u);
  EXPECT_FALSE(FileBoxFolder(browse_win::文件框1).empty());
}

TEST_F(FileBoxTest, WindowLoadListsTheProgramFolder) {
  EXPECT_EQ(Listed().size(), 6u) << "the template gives no folder";
}

TEST_F(FileBoxTest, MissingFolderGivesAnEmptyList) {
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path("没有"_gbk));
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "");
}

TEST_F(FileBoxTest, SelectedNameIsFoundAgainIgnoringCase) {
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path());
  Live<QListWidget>(browse_win::文件框1)->setCurrentRow(2);  // b.rar
  std::filesystem::rename(m_folder.NativePath() + "/b.rar", m_folder.NativePath() + "/B.rar");
  SetFileBoxFolder(browse_win::文件框1, m_folder.Path());
  EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "B.rar");
}

// ---- List box services ----------------------------------------------------------

TEST_F(FileBoxTest, UnsortedListBoxAppendsAndReadsBack) {
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "乙"_gbk), 0);
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "甲"_gbk), 1);
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "a"), 2);
  EXPECT_EQ(ListItemCount(browse_win::列表框1), 3);
  EXPECT_EQ(ListItemText(browse_win::列表框1, 1), "甲"_gbk);
  EXPECT_EQ(ListItemText(browse_win::列表框1, 3), "");
  EXPECT_EQ(ListItemText(browse_win::列表框1, -1), "");
  ListClear(browse_win::列表框1);
  EXPECT_EQ(ListItemCount(browse_win::列表框1), 0);
}

// The title pool is hidden: its rows on screen are filled when it is shown.
TEST_F(FileBoxTest, HiddenListBoxShowsItsItemsWhenShown) {
  ListAddItem(browse_win::列表框1, "乙"_gbk);
  ListAddItem(browse_win::列表框1, "甲"_gbk);
  auto* box = Live<QListWidget>(browse_win::列表框1);
  auto rows = [box] {
    std::vector<Text> texts;
    for (int row = 0; row < box->count(); ++row) texts.push_back(FromQt(box->item(row)->text()));
    return texts;
  };
  SetVisible(browse_win::列表框1, true);
  EXPECT_EQ(rows(), (std::vector<Text>{"乙"_gbk, "甲"_gbk}));
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "丙"_gbk), 2);
  EXPECT_EQ(rows(), (std::vector<Text>{"乙"_gbk, "甲"_gbk, "丙"_gbk}));
  ListClear(browse_win::列表框1);
  EXPECT_EQ(box->count(), 0);
}

TEST_F(FileBoxTest, SortedListBoxReturnsTheSortedPlace) {
  CloseWindow(Window::Browse, true);
  test::RecordOf(Window::Browse).units[static_cast<std::size_t>(browse_win::列表框1.index)].sorted =
      true;
  ASSERT_TRUE(OpenWindow(Window::Browse));
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "b"), 0);
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "D"), 1);
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "a"), 0);
  EXPECT_EQ(ListAddItem(browse_win::列表框1, "C"), 2);
  EXPECT_EQ(ListItemText(browse_win::列表框1, 3), "D");
}

}  // namespace
}  // namespace lirvo::ui
