// What a screen reader is told about the windows: radio buttons as radio
// buttons, a name for every field and list a person fills in or chooses from,
// and nothing of the controls no one can see.
#include <QAccessible>
#include <QApplication>

#include <set>
#include <string>

#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using test::Live;

class AccessibilityTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    FailOnProgramEnd();
    ASSERT_TRUE(OpenWindow(Window::Main));
    ASSERT_TRUE(OpenWindow(Window::CollectPage, Window::Main));
    ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
    ASSERT_TRUE(OpenWindow(Window::Update));
    SetVisible(update_win::窗口, true);
    ASSERT_TRUE(OpenWindow(Window::Browse));
  }

  static QAccessibleInterface* Of(Unit unit) {
    return QAccessible::queryAccessibleInterface(test::LiveObject(unit));
  }

  // Every object reachable from the interface through its children.
  static void Walk(QAccessibleInterface* node, std::set<QObject*>& reached) {
    for (int i = 0; i < node->childCount(); ++i) {
      QAccessibleInterface* child = node->child(i);
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(node->indexOfChild(child), i);
      reached.insert(child->object());
      Walk(child, reached);
    }
  }

  static std::set<QObject*> Tree() {
    std::set<QObject*> reached;
    Walk(QAccessible::queryAccessibleInterface(qApp), reached);
    return reached;
  }
};

TEST_F(AccessibilityTest, RadioButtonsReadAsRadioButtons) {
  for (Unit radio :
       {main_win::单选框1, main_win::单选框2, browse_win::单选框1, browse_win::单选框2}) {
    EXPECT_EQ(Of(radio)->role(), QAccessible::RadioButton) << radio.index;
  }
  EXPECT_TRUE(Of(main_win::单选框1)->state().checked);
  EXPECT_FALSE(Of(main_win::单选框2)->state().checked);
  EXPECT_EQ(Of(main_win::选择框1)->role(), QAccessible::CheckBox);
}

struct NameCase {
  Unit unit;
  const char* name;
};

class FieldNameTest : public AccessibilityTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(FieldNameTest, FieldIsNamedByWhatItHolds) {
  QAccessibleInterface* field = Of(GetParam().unit);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(QAccessible::Name).toStdString(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(EveryEditAndComboBox, FieldNameTest,
                         ::testing::Values(NameCase{main_win::编辑框1, "页"},
                                           NameCase{main_win::编辑框2, "电脑响应时间：（毫秒）"},
                                           NameCase{main_win::完本类, "完本类"},
                                           NameCase{main_win::连载类, "连载类"},
                                           NameCase{browse_win::编辑框1, "搜索文件"},
                                           NameCase{browse_win::完本类, "完本类"},
                                           NameCase{browse_win::连载类, "连载类"},
                                           NameCase{update_win::编辑框1, "本程序版本"},
                                           NameCase{update_win::编辑框2, "本程序版本"},
                                           NameCase{update_win::编辑框4, "本程序最新版本"},
                                           NameCase{update_win::编辑框3, "本程序最新版本"},
                                           NameCase{progress_win::编辑框1, "小说采集页面"}));

TEST_F(AccessibilityTest, HiddenControlsAreNotInTheTree) {
  const std::set<QObject*> tree = Tree();
  for (Unit hidden : {main_win::连载网页, main_win::完本网页, main_win::超文本浏览框1,
                      main_win::超文本浏览框2, main_win::连载类, main_win::选择框1,
                      browse_win::列表框1, browse_win::连载类, page_win::窗口, page_win::列表}) {
    EXPECT_EQ(tree.count(test::LiveObject(hidden)), 0u)
        << static_cast<int>(hidden.window) << "/" << hidden.index;
    EXPECT_TRUE(Of(hidden)->state().invisible);
  }
  for (Unit shown : {main_win::窗口, main_win::编辑框1, main_win::完本类, browse_win::文件框1,
                     browse_win::编辑框1, browse_win::按钮1, update_win::按钮1}) {
    EXPECT_EQ(tree.count(test::LiveObject(shown)), 1u)
        << static_cast<int>(shown.window) << "/" << shown.index;
  }
}

TEST_F(AccessibilityTest, HiddenWindowLeavesTheTree) {
  QAccessibleInterface* program = QAccessible::queryAccessibleInterface(qApp);
  EXPECT_EQ(program->role(), QAccessible::Application);
  EXPECT_EQ(program->childCount(), 4) << "main, progress, update and browse window";
  SetVisible(main_win::窗口, false);  // as during a collection run
  EXPECT_EQ(Tree().count(test::LiveObject(main_win::编辑框1)), 0u);
  EXPECT_EQ(program->childCount(), 3);
}

TEST_F(AccessibilityTest, ControlShownByTheProgramJoinsTheTree) {
  SetVisible(main_win::完本类, false);
  SetVisible(main_win::连载类, true);
  const std::set<QObject*> tree = Tree();
  EXPECT_EQ(tree.count(test::LiveObject(main_win::连载类)), 1u);
  EXPECT_EQ(tree.count(test::LiveObject(main_win::完本类)), 0u);
}

}  // namespace
}  // namespace lirvo::ui
