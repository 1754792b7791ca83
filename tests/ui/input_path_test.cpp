// Every event a user raises in the windows, through the input a person uses:
// mouse presses and releases on the widget (or its viewport) under the
// pointer, keys sent to the widget that has the focus, the focus moved by Tab
// and by clicks. Each handler records what it read at the moment it ran, so a
// handler that runs too early (before the list closed, before the entry was
// selected) or for no user action (the focus, a listing, a program write)
// shows in the record.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTest>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/gui_input.h"
#include "support/temp_folder.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using test::Live;

struct Seen {
  Handler handler;
  std::string saw;  // UTF-8
  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* os) {
  *os << "{" << static_cast<int>(seen.handler) << ", \"" << seen.saw << "\"}";
}

std::vector<Seen> g_seen;

std::string ComboSeen(Unit combo) {
  const bool listOpen = Live<QComboBox>(combo)->view()->isVisible();
  return std::to_string(ComboIndex(combo)) + (listOpen ? " list open" : "");
}

std::string Pair(Unit first, Unit second) {
  return std::string(Checked(first) ? "x" : "o") + (Checked(second) ? "x" : "o");
}

// What each handler reads when it runs.
std::string Probe(Handler handler) {
  switch (handler) {
    case Handler::BrowseFileSelected:
    case Handler::BrowseFileDoubleClicked:
      return GbkToUtf8(FileBoxSelected(browse_win::文件框1));
    case Handler::MainCompletedSelected:
      return ComboSeen(main_win::完本类);
    case Handler::MainOngoingSelected:
      return ComboSeen(main_win::连载类);
    case Handler::BrowseCompletedSelected:
      return ComboSeen(browse_win::完本类);
    case Handler::BrowseOngoingSelected:
      return ComboSeen(browse_win::连载类);
    case Handler::MainCompletedChosen:
    case Handler::MainOngoingChosen:
      return Pair(main_win::单选框1, main_win::单选框2);
    case Handler::BrowseCompletedChosen:
    case Handler::BrowseOngoingChosen:
      return Pair(browse_win::单选框1, browse_win::单选框2);
    case Handler::BrowseSearchGotFocus:
    case Handler::BrowseSearchLostFocus:
      return QApplication::focusWidget() == Live(browse_win::编辑框1) ? "focused" : "not focused";
    default:
      return {};
  }
}

template <Handler H>
void Record() {
  g_seen.push_back({H, Probe(H)});
}

// Every handler a user can trigger, and the destroyed ones that Esc reaches.
void RegisterRecorders() {
  RegisterHandler(Handler::MainDestroyed, Record<Handler::MainDestroyed>);
  RegisterHandler(Handler::MainGroupLinkClicked, Record<Handler::MainGroupLinkClicked>);
  RegisterHandler(Handler::MainAuthorLinkClicked, Record<Handler::MainAuthorLinkClicked>);
  RegisterHandler(Handler::MainCompletedSelected, Record<Handler::MainCompletedSelected>);
  RegisterHandler(Handler::MainOngoingSelected, Record<Handler::MainOngoingSelected>);
  RegisterHandler(Handler::MainCompletedUrlSelected, Record<Handler::MainCompletedUrlSelected>);
  RegisterHandler(Handler::MainCompletedChosen, Record<Handler::MainCompletedChosen>);
  RegisterHandler(Handler::MainOngoingChosen, Record<Handler::MainOngoingChosen>);
  RegisterHandler(Handler::MainCollectClicked, Record<Handler::MainCollectClicked>);
  RegisterHandler(Handler::MainDelayClicked, Record<Handler::MainDelayClicked>);
  RegisterHandler(Handler::UpdateQuitClicked, Record<Handler::UpdateQuitClicked>);
  RegisterHandler(Handler::UpdateStartClicked, Record<Handler::UpdateStartClicked>);
  RegisterHandler(Handler::BrowseDestroyed, Record<Handler::BrowseDestroyed>);
  RegisterHandler(Handler::BrowseCompletedChosen, Record<Handler::BrowseCompletedChosen>);
  RegisterHandler(Handler::BrowseOngoingChosen, Record<Handler::BrowseOngoingChosen>);
  RegisterHandler(Handler::BrowseCompletedSelected, Record<Handler::BrowseCompletedSelected>);
  RegisterHandler(Handler::BrowseOngoingSelected, Record<Handler::BrowseOngoingSelected>);
  RegisterHandler(Handler::BrowseFileSelected, Record<Handler::BrowseFileSelected>);
  RegisterHandler(Handler::BrowseFileDoubleClicked, Record<Handler::BrowseFileDoubleClicked>);
  RegisterHandler(Handler::BrowseSearchGotFocus, Record<Handler::BrowseSearchGotFocus>);
  RegisterHandler(Handler::BrowseSearchLostFocus, Record<Handler::BrowseSearchLostFocus>);
  RegisterHandler(Handler::BrowseSearchClicked, Record<Handler::BrowseSearchClicked>);
}

// ---- The input a person gives ----------------------------------------------------

void Settle() {
  ProcessPendingEvents();
}

void Activate(Window window) {
  test::input::Activate(Live(Unit{window, 0}));
}

void Click(Unit unit) {
  test::input::Click(Live(unit));
}

using test::input::Press;

int RowOf(const char* nameUtf8) {
  auto* box = Live<QListWidget>(browse_win::文件框1);
  const QList<QListWidgetItem*> found =
      box->findItems(QString::fromUtf8(nameUtf8), Qt::MatchExactly);
  EXPECT_EQ(found.size(), 1);
  return found.isEmpty() ? -1 : box->row(found.first());
}

void ClickRow(const char* nameUtf8, Qt::KeyboardModifiers modifiers = {}) {
  test::input::ClickRow(Live<QListWidget>(browse_win::文件框1), RowOf(nameUtf8), modifiers);
}

void DoubleClickRow(const char* nameUtf8, Qt::MouseButton button = Qt::LeftButton) {
  test::input::DoubleClickRow(Live<QListWidget>(browse_win::文件框1), RowOf(nameUtf8), button);
}

void ChooseFromList(Unit combo, int index) {
  test::input::ChooseFromList(Live<QComboBox>(combo), index);
}

// ---- The table ---------------------------------------------------------------------

struct InputCase {
  const char* name;
  std::function<void()> input;
  std::vector<Seen> expected;
};

void PrintTo(const InputCase& c, std::ostream* os) {
  *os << c.name;
}

class InputPathTest : public test::GuiTest, public ::testing::WithParamInterface<InputCase> {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    FailOnProgramEnd();
    g_seen.clear();
    for (const char* name : {"a.rar", "b.rar", "c.rar"}) {
      std::ofstream(m_folder.NativePath() + "/" + name) << "x";
    }
    RegisterRecorders();
    ASSERT_TRUE(OpenWindow(Window::Main));
    ASSERT_TRUE(OpenWindow(Window::Update));
    ASSERT_TRUE(OpenWindow(Window::Browse));
    SetFileBoxFolder(browse_win::文件框1, m_folder.Path());
    Settle();
  }

  test::TempFolder m_folder;
};

TEST_P(InputPathTest, HandlerSeesTheUsersChoice) {
  ASSERT_TRUE(g_seen.empty()) << "loading raises no user event";
  GetParam().input();
  EXPECT_EQ(g_seen, GetParam().expected);
}

using H = Handler;

const InputCase kCases[] = {
    // The file box: the selected name is there when the event runs.
    {"MouseSelectsAnEntry", [] { ClickRow("b.rar"); }, {{H::BrowseFileSelected, "b.rar"}}},
    {"ArrowKeysSelectTheNextEntry",
     [] {
       ClickRow("a.rar");
       Press(Qt::Key_Down);
       Press(Qt::Key_Down);
       Press(Qt::Key_Down);  // past the end: nothing changes
     },
     {{H::BrowseFileSelected, "a.rar"},
      {H::BrowseFileSelected, "b.rar"},
      {H::BrowseFileSelected, "c.rar"}}},
    {"SameEntryAgainIsNoChange",
     [] {
       ClickRow("b.rar");
       ClickRow("b.rar");
     },
     {{H::BrowseFileSelected, "b.rar"}}},
    {"CtrlClickKeepsTheSelection",
     [] {
       ClickRow("b.rar");
       ClickRow("b.rar", Qt::ControlModifier);
       EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "b.rar");
     },
     {{H::BrowseFileSelected, "b.rar"}}},
    {"ClickBelowTheEntriesKeepsTheSelection",
     [] {
       ClickRow("b.rar");
       QWidget* viewport = Live<QListWidget>(browse_win::文件框1)->viewport();
       test::input::Click(viewport, {}, QPoint(5, viewport->height() - 3));
       EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "b.rar");
     },
     {{H::BrowseFileSelected, "b.rar"}}},
    {"DoubleClickOpensTheEntryItSelected",
     [] { DoubleClickRow("c.rar"); },
     {{H::BrowseFileSelected, "c.rar"}, {H::BrowseFileDoubleClicked, "c.rar"}}},
    {"RightDoubleClickOpensNothing",
     [] {
       ClickRow("a.rar");
       DoubleClickRow("a.rar", Qt::RightButton);
     },
     {{H::BrowseFileSelected, "a.rar"}}},
    // Focus alone selects nothing: Tab from the category list, the program's
    // SetFocus, the focus coming back to the window.
    {"TabIntoTheFileBoxSelectsNothing",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::完本类);
       Press(Qt::Key_Tab);
       ASSERT_EQ(QApplication::focusWidget(), Live(browse_win::文件框1));
       Activate(Window::Main);
       Activate(Window::Browse);
       EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "");
     },
     {}},
    {"ProgramFocusAndListingRaiseNothing",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::文件框1);
       Settle();
       ClickRow("b.rar");
       SetFocus(browse_win::完本类);
       SetFileBoxFolder(browse_win::文件框1, FileBoxFolder(browse_win::文件框1));
       SetFocus(browse_win::文件框1);
       Settle();
       EXPECT_EQ(FileBoxSelected(browse_win::文件框1), "b.rar") << "the listing selects it again";
     },
     {{H::BrowseFileSelected, "b.rar"}}},
    {"PropertyWritesRaiseNothing",
     [] {
       SetComboIndex(main_win::完本类, 3);
       SetComboIndex(browse_win::连载类, 2);
       SetChecked(main_win::单选框2, true);
       SetChecked(browse_win::单选框1, false);
       SetChecked(main_win::选择框1, false);
       SetTimerInterval(browse_win::时钟1, 300);
       SetEditText(browse_win::编辑框1, "x");
       Settle();
     },
     {}},

    // Combo boxes: the event runs once the list has closed, with the item chosen.
    {"MainCompletedListChoice",
     [] { ChooseFromList(main_win::完本类, 3); },
     {{H::MainCompletedSelected, "3"}}},
    {"MainOngoingListChoice",
     [] {
       SetVisible(main_win::连载类, true);
       ChooseFromList(main_win::连载类, 5);
     },
     {{H::MainOngoingSelected, "5"}}},
    {"BrowseCompletedListChoice",
     [] { ChooseFromList(browse_win::完本类, 2); },
     {{H::BrowseCompletedSelected, "2"}}},
    {"BrowseOngoingListChoice",
     [] {
       SetVisible(browse_win::连载类, true);
       ChooseFromList(browse_win::连载类, 7);
     },
     {{H::BrowseOngoingSelected, "7"}}},
    {"ArrowKeyOnAClosedList",
     [] {
       Activate(Window::Main);
       SetFocus(main_win::完本类);
       Press(Qt::Key_Down);
     },
     {{H::MainCompletedSelected, "1"}}},

    // Radio buttons: a click, and the arrow keys within the group.
    {"MainRadioClick", [] { Click(main_win::单选框2); }, {{H::MainOngoingChosen, "ox"}}},
    {"MainRadioArrowKeys",
     [] {
       Activate(Window::Main);
       SetFocus(main_win::单选框1);
       Press(Qt::Key_Down);
       EXPECT_EQ(QApplication::focusWidget(), Live(main_win::单选框2));
       Press(Qt::Key_Down);  // round the end
       Press(Qt::Key_Left);
     },
     {{H::MainOngoingChosen, "ox"}, {H::MainCompletedChosen, "xo"}, {H::MainOngoingChosen, "ox"}}},
    {"BrowseRadioArrowKeys",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::单选框1);
       Press(Qt::Key_Right);
       Press(Qt::Key_Up);
     },
     {{H::BrowseOngoingChosen, "ox"}, {H::BrowseCompletedChosen, "xo"}}},
    {"ArrowOntoACheckedButtonOnlyMovesTheFocus",
     [] {
       SetChecked(browse_win::单选框2, true);  // both checked, as a program may leave them
       Activate(Window::Browse);
       SetFocus(browse_win::单选框1);
       Press(Qt::Key_Right);
       EXPECT_EQ(QApplication::focusWidget(), Live(browse_win::单选框2));
     },
     {}},
    {"SpaceChoosesTheFocusedRadio",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::单选框2);
       Press(Qt::Key_Space);
     },
     {{H::BrowseOngoingChosen, "ox"}}},

    // Buttons.
    {"MainButtons",
     [] {
       Click(main_win::超级按钮1);
       Click(main_win::超级按钮2);
       Click(main_win::按钮2);
       Click(main_win::按钮3);
     },
     {{H::MainGroupLinkClicked, ""},
      {H::MainAuthorLinkClicked, ""},
      {H::MainCollectClicked, ""},
      {H::MainDelayClicked, ""}}},
    {"UpdateButtons",
     [] {
       SetVisible(update_win::窗口, true);
       Click(update_win::按钮1);
       Click(update_win::按钮2);
     },
     {{H::UpdateStartClicked, ""}, {H::UpdateQuitClicked, ""}}},
    {"SearchButton", [] { Click(browse_win::按钮1); }, {{H::BrowseSearchClicked, ""}}},

    // The search box's focus, moved by a click and by Tab.
    {"SearchBoxFocusByClicks",
     [] {
       Click(browse_win::编辑框1);
       ClickRow("a.rar");
     },
     {{H::BrowseSearchGotFocus, "focused"},
      {H::BrowseSearchLostFocus, "not focused"},
      {H::BrowseFileSelected, "a.rar"}}},
    {"SearchBoxFocusByTab",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::文件框1);
       Press(Qt::Key_Tab);
       Press(Qt::Key_Tab);
       EXPECT_EQ(QApplication::focusWidget(), Live(browse_win::按钮1));
     },
     {{H::BrowseSearchGotFocus, "focused"}, {H::BrowseSearchLostFocus, "not focused"}}},

    // Esc asks the window to close; its destruction runs the destroyed handler.
    {"EscClosesTheMainWindow",
     [] {
       Activate(Window::Main);
       Press(Qt::Key_Escape);
     },
     {{H::MainDestroyed, ""}}},
    {"EscClosesTheBrowseWindow",
     [] {
       Activate(Window::Browse);
       SetFocus(browse_win::文件框1);
       Press(Qt::Key_Escape);
     },
     {{H::BrowseDestroyed, ""}}},
};

INSTANTIATE_TEST_SUITE_P(Windows, InputPathTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirvo::ui
