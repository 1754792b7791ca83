// Loading, closing and the life of the program: the order of the events while
// a window loads, posted and immediate closes, Esc, owned windows and the end
// of the message loop when the last loaded window goes.
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <string>
#include <vector>

#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"
#include "ui/template.h"

namespace lirvo::ui {
namespace {

using test::BindForTest;
using test::Live;

std::vector<std::string> g_log;
bool g_hideInCreated = false;
bool g_closeInCreated = false;
bool g_showInCreated = false;

void Log(const std::string& what, Unit window) {
  g_log.push_back(what + (Visible(window) ? "+shown" : ""));
}

class WindowLoadingTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_log.clear();
    g_hideInCreated = g_closeInCreated = g_showInCreated = false;
  }

  // Watches the created, moved and resized events of a window.
  static void Watch(Unit window) {
    static Unit watched;
    watched = window;
    RegisterHandler(Handler::BrowseCreated, [] {
      Log("created", watched);
      if (g_hideInCreated) SetVisible(watched, false);
      if (g_showInCreated) SetVisible(watched, true);
      if (g_closeInCreated) CloseWindow(watched.window);
    });
    RegisterHandler(Handler::BrowseCompletedChosen, [] { Log("moved", watched); });
    RegisterHandler(Handler::BrowseOngoingChosen, [] { Log("resized", watched); });
    RegisterHandler(Handler::BrowseDestroyed, [] { g_log.push_back("destroyed"); });
    BindForTest(window, event::kCreated, Handler::BrowseCreated);
    BindForTest(window, event::kMoved, Handler::BrowseCompletedChosen);
    BindForTest(window, event::kResized, Handler::BrowseOngoingChosen);
    BindForTest(window, event::kDestroyed, Handler::BrowseDestroyed);
  }
};

// ---- Loading order -----------------------------------------------------------

TEST_F(WindowLoadingTest, CreatedThenMovedThenResizedThenShown) {
  Watch(progress_win::窗口);
  ASSERT_TRUE(OpenWindow(Window::Progress));
  EXPECT_EQ(g_log, (std::vector<std::string>{"created", "moved", "resized"}));
  EXPECT_TRUE(Visible(progress_win::窗口));
  // Controls exist and can be read inside the created handler already.
  EXPECT_TRUE(Visible(progress_win::编辑框1));
}

TEST_F(WindowLoadingTest, VisibleFlagIsTakenAtCreation) {
  Watch(progress_win::窗口);
  g_hideInCreated = true;
  ASSERT_TRUE(OpenWindow(Window::Progress));
  EXPECT_TRUE(Visible(progress_win::窗口))
      << "hiding in the created handler does not stop the show";
}

TEST_F(WindowLoadingTest, HiddenWindowShownByItsHandlerAtOnce) {
  Watch(update_win::窗口);
  g_showInCreated = true;
  ASSERT_TRUE(OpenWindow(Window::Update));
  EXPECT_EQ(g_log, (std::vector<std::string>{"created", "moved+shown", "resized+shown"}));
}

TEST_F(WindowLoadingTest, HiddenWindowStaysHiddenAndLoaded) {
  ASSERT_TRUE(OpenWindow(Window::Update));
  EXPECT_TRUE(IsLoaded(Window::Update));
  EXPECT_FALSE(Visible(update_win::窗口));
  EXPECT_FALSE(Visible(update_win::编辑框1)) << "a control of a hidden window is not visible";
  SetVisible(update_win::窗口, true);
  EXPECT_TRUE(Visible(update_win::编辑框1));
}

TEST_F(WindowLoadingTest, CreatedHandlerThatClosesItsWindowEndsLoadingQuietly) {
  Watch(progress_win::窗口);
  g_closeInCreated = true;
  ASSERT_TRUE(OpenWindow(Window::Progress));
  EXPECT_EQ(g_log, (std::vector<std::string>{"created"}));
  EXPECT_TRUE(IsLoaded(Window::Progress)) << "the close is posted";
  EXPECT_FALSE(Visible(progress_win::窗口));
  EXPECT_TRUE(RunUntil([] { return !IsLoaded(Window::Progress); }));
  EXPECT_EQ(g_log.back(), "destroyed");
}

TEST_F(WindowLoadingTest, OwnerMustBeLoaded) {
  EXPECT_FALSE(OpenWindow(Window::Progress, Window::Main));
  EXPECT_FALSE(IsLoaded(Window::Progress));
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_TRUE(OpenWindow(Window::Progress, Window::Main));
}

TEST_F(WindowLoadingTest, TemplateSizesAndCentring) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(Width(main_win::窗口), 269);
  EXPECT_EQ(Height(main_win::窗口), 161);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(Left(main_win::窗口), screen.x() + (screen.width() - 269) / 2);
  EXPECT_EQ(Top(main_win::窗口), screen.y() + (screen.height() - 161) / 2);
  EXPECT_EQ(Left(main_win::完本类), 165);
  EXPECT_EQ(Width(main_win::完本类), 96);
  EXPECT_EQ(Top(main_win::完本网页), 448);
}

// ---- Closing -----------------------------------------------------------------

TEST_F(WindowLoadingTest, CloseWindowIsPostedSoLaterCodeStillRuns) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  CloseWindow(Window::Main);
  EXPECT_TRUE(IsLoaded(Window::Main));
  EXPECT_EQ(EditText(main_win::编辑框1), "1") << "controls can be read until the close arrives";
  ProcessPendingEvents();
  EXPECT_FALSE(IsLoaded(Window::Main));
}

TEST_F(WindowLoadingTest, CloseAtOnceDestroysInTheCall) {
  Watch(progress_win::窗口);
  ASSERT_TRUE(OpenWindow(Window::Progress));
  CloseWindow(Window::Progress, true);
  EXPECT_FALSE(IsLoaded(Window::Progress));
  EXPECT_EQ(g_log.back(), "destroyed");
}

TEST_F(WindowLoadingTest, OwnedWindowsGoWithTheirOwner) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
  ASSERT_TRUE(OpenWindow(Window::CollectPage, Window::Main));
  CloseWindow(Window::Main, true);
  EXPECT_FALSE(IsLoaded(Window::Progress));
  EXPECT_FALSE(IsLoaded(Window::CollectPage));
}

// Esc asks to close where the template says so, as the close box does.
struct EscCase {
  Window window;
  bool closes;
};

class EscTest : public WindowLoadingTest, public ::testing::WithParamInterface<EscCase> {};

TEST_P(EscTest, EscClosesWhereEnabled) {
  const Window window = GetParam().window;
  ASSERT_TRUE(OpenWindow(window));
  SetVisible(Unit{window, 0}, true);
  QWidget* widget = Live(Unit{window, 0});
  QWidget* target = widget->focusWidget() != nullptr ? widget->focusWidget() : widget;
  QTest::keyClick(target, Qt::Key_Escape);
  ProcessPendingEvents();
  EXPECT_EQ(IsLoaded(window), !GetParam().closes);
}

INSTANTIATE_TEST_SUITE_P(Windows, EscTest,
                         ::testing::Values(EscCase{Window::Main, true},
                                           EscCase{Window::Update, true},
                                           EscCase{Window::Browse, true},
                                           EscCase{Window::Progress, false}));

TEST_F(WindowLoadingTest, WindowWithoutSystemMenuRefusesTheWindowManagersClose) {
  ASSERT_TRUE(OpenWindow(Window::Progress));
  QWidget* widget = Live(progress_win::窗口);
  EXPECT_FALSE(widget->windowFlags() & Qt::WindowCloseButtonHint);
  widget->close();
  ProcessPendingEvents();
  EXPECT_TRUE(IsLoaded(Window::Progress));
  EXPECT_TRUE(Visible(progress_win::窗口));
}

TEST_F(WindowLoadingTest, UpdateWindowStaysOnTopAndOwnedWindowsHaveNoTaskbarButton) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Update));
  ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
  EXPECT_TRUE(Live(update_win::窗口)->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(TaskbarButton(main_win::窗口));
  EXPECT_FALSE(TaskbarButton(progress_win::窗口));
  EXPECT_EQ(Live(progress_win::窗口)->parentWidget(), Live(main_win::窗口));
}

// X11 sets WM_TRANSIENT_FOR, which keeps a window off the taskbar, only on
// dialog-type windows with a transient parent.
TEST_F(WindowLoadingTest, OwnedWindowsAreTransientDialogsOfTheirOwner) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Browse));
  ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
  ASSERT_TRUE(OpenWindow(Window::CollectPage, Window::Main));
  const QWindow* progress = Live(progress_win::窗口)->windowHandle();
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(progress->transientParent(), Live(main_win::窗口)->windowHandle());
  EXPECT_EQ(progress->type(), Qt::Dialog);
  EXPECT_EQ(Live(page_win::窗口)->windowType(), Qt::Dialog) << "never shown, owned all the same";
  for (Unit free : {main_win::窗口, browse_win::窗口}) {
    const QWindow* handle = Live(free)->windowHandle();
    EXPECT_EQ(handle->type(), Qt::Window);
    EXPECT_EQ(handle->transientParent(), nullptr);
  }
  // An owned window keeps the title-bar offer of its attributes.
  EXPECT_FALSE(progress->flags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(progress->flags() & Qt::WindowMinimizeButtonHint);
}

// ---- The end of the program ------------------------------------------------

int g_exitRoutineRuns = 0;

TEST_F(WindowLoadingTest, LoopRunsWhileAHiddenWindowIsLoaded) {
  g_exitRoutineRuns = 0;
  SetExitRoutine([] { ++g_exitRoutineRuns; });
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Update));  // hidden
  bool updateStillLoadedAfterMainWent = false;
  QTimer::singleShot(20, [] { CloseWindow(Window::Main); });
  QTimer::singleShot(150, [&] {
    updateStillLoadedAfterMainWent = !IsLoaded(Window::Main) && IsLoaded(Window::Update);
    CloseWindow(Window::Update);
  });
  // A guard, should the loop not end by itself.
  QTimer::singleShot(5000, [] { ADD_FAILURE() << "loop still running"; });
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_TRUE(updateStillLoadedAfterMainWent);
  EXPECT_FALSE(IsLoaded(Window::Update));
  EXPECT_EQ(g_exitRoutineRuns, 1);
}

TEST_F(WindowLoadingTest, LoopWithNothingLoadedReturnsAtOnce) {
  EXPECT_EQ(RunMessageLoop(), 0);
}

}  // namespace
}  // namespace lirvo::ui
