// The list of matching novels under the browse window's search box, driven
// through the keyboard and the mouse: what it offers, how a choice reaches
// the box, and that the box keeps the focus throughout.
#include <QApplication>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "library/browse_fixture.h"
#include "services/profile.h"

namespace lirvo::test {
namespace {

class MatchListTest : public BrowseFixture {
 protected:
  void AddNovel(bool completed, const Text& category, const Text& title, const Text& author,
                bool archive) {
    const Text kind = layout::CategoryPath(completed, category);
    MakeFolders(layout::RecordFolder(kind));
    ASSERT_TRUE(WriteProfile(layout::RecordPath(kind, title), title, "作者"_gbk, author));
    ASSERT_TRUE(WriteProfile(layout::NovelIndexPath(), "小说"_gbk, title,
                             layout::ArchivePath(kind, title)));
    if (archive) AddArchive(completed, category, title + ".rar");
  }

  static QListWidget* Shown() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* list = qobject_cast<QListWidget*>(w);
      if (list != nullptr && list->isVisible()) return list;
    }
    return nullptr;
  }

  // Types into the box and waits (bounded) for the list: the matches are
  // built on a thread of their own.
  static QListWidget* Type(const char* keys) {
    QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(keys));
    for (int i = 0; i < 500 && Shown() == nullptr; ++i) QTest::qWait(20);
    return Shown();
  }

  static std::vector<std::string> Rows(QListWidget* list) {
    std::vector<std::string> rows;
    for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
    return rows;
  }
};

TEST_F(MatchListTest, TypeChooseAndCloseWithTheBoxKeepingTheFocus) {
  AddNovel(true, "玄幻小说"_gbk, "斗罗大陆"_gbk, "唐家三少"_gbk, true);
  AddNovel(false, "都市小说"_gbk, "斗破苍穹"_gbk, "天蚕土豆"_gbk, false);
  OpenBrowse();
  input::Click(Live(bw::编辑框1));
  QWidget* box = QApplication::focusWidget();

  QListWidget* list = Type("dou");
  ASSERT_NE(list, nullptr) << "typing shows the matches";
  // Whole library, authors from the records, a missing archive said so.
  EXPECT_EQ(Rows(list), (std::vector<std::string>{"斗罗大陆　唐家三少",
                                                  "斗破苍穹　天蚕土豆　（本文件不存在）"}));
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 0) << "no suggestion overwrites the typing";

  input::Press(Qt::Key_Down);
  input::Press(Qt::Key_Down);
  input::Press(Qt::Key_Return);
  EXPECT_EQ(ui::EditText(bw::编辑框1), "斗破苍穹"_gbk);
  EXPECT_EQ(Shown(), nullptr);

  // The mouse chooses too; by author this time.
  ui::SetEditText(bw::编辑框1, {});
  list = Type("tangjia");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 1);
  input::ClickRow(list, 0);
  EXPECT_EQ(ui::EditText(bw::编辑框1), "斗罗大陆"_gbk);
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_EQ(ui::TimerInterval(bw::时钟1), 0);

  // Esc closes the list, not the window; the next Esc closes the window.
  ui::SetEditText(bw::编辑框1, {});
  ASSERT_NE(Type("dl"), nullptr);
  input::Press(Qt::Key_Escape);
  EXPECT_EQ(Shown(), nullptr);
  EXPECT_TRUE(Live(bw::窗口)->isVisible());
}

}  // namespace
}  // namespace lirvo::test
