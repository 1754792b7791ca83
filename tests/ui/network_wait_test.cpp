// The GUI thread waiting for a request: windows repaint and show their title
// status, handlers wait for the request's end, and input given meanwhile (or
// to a hidden window) never runs a handler, then or later.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <functional>
#include <vector>

#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/gui_input.h"
#include "support/held_request.h"
#include "ui/engine_qt.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;
using test::Live;
using test::WhileWaiting;

class NetworkWaitTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    FailOnProgramEnd();
  }
};

std::atomic<int> g_ticks{0};

// Counts the paints of one widget.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, e);
  }
  bool painted = false;
};

TEST_F(NetworkWaitTest, WindowsPaintAndHandlersWaitForTheEnd) {
  g_ticks = 0;
  RegisterHandler(Handler::BrowseTimerTick, [] { ++g_ticks; });
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Browse));
  ProcessPendingEvents();
  PaintCounter counter;
  QWidget* window = Live(browse_win::窗口);
  window->installEventFilter(&counter);

  QElapsedTimer clock;
  const bool painted = WhileWaiting(
      [&] {
        EXPECT_TRUE(Engine::Get().InRequest()) << "runs inside the wait";
        clock.start();
        SetTimerInterval(browse_win::时钟1, 10);
        CloseWindow(Window::Main);
        window->update();
      },
      [&] { return counter.painted && clock.elapsed() > 200; });  // some twenty ticks due
  window->removeEventFilter(&counter);
  EXPECT_TRUE(painted) << "the window repaints inside the wait";
  EXPECT_FALSE(Engine::Get().InRequest());
  EXPECT_EQ(g_ticks, 0) << "no handler runs inside the wait";
  EXPECT_TRUE(IsLoaded(Window::Main)) << "the close waits for the request";

  SetTimerInterval(browse_win::时钟1, 0);
  ProcessPendingEvents();
  EXPECT_EQ(g_ticks, 1) << "the ticks due meanwhile come as one";
  EXPECT_FALSE(IsLoaded(Window::Main));
}

TEST_F(NetworkWaitTest, TitleShowsItsStatusInsideTheWait) {
  static Text status;
  status = " x"_gbk;
  SetTitleStatus(Window::Progress, [] { return status; });
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
  QWidget* window = Live(progress_win::窗口);
  const Text title = Title(progress_win::窗口);
  const QString shown = ToQt(title + " x");
  EXPECT_TRUE(WhileWaiting([] {}, [&] { return window->windowTitle() == shown; }));
  EXPECT_EQ(Title(progress_win::窗口), title) << "the title property keeps the written title";

  SetTitle(progress_win::窗口, "t"_gbk);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("t x")) << "a written title keeps the status";
  status.clear();
  EXPECT_TRUE(RunUntil([&] { return window->windowTitle() == QStringLiteral("t"); }));
}

// ---- input ------------------------------------------------------------------------

std::vector<Handler> g_ran;

template <Handler H>
void Ran() {
  g_ran.push_back(H);
}

struct InputCase {
  const char* name;
  Unit target;  // a main window control, focused before the input
  std::function<void(QWidget* target)> input;
  Handler handler;
};

void PrintTo(const InputCase& c, std::ostream* os) {
  *os << c.name;
}

class InputDuringAWaitTest : public NetworkWaitTest,
                             public ::testing::WithParamInterface<InputCase> {
 protected:
  void SetUp() override {
    NetworkWaitTest::SetUp();
    g_ran.clear();
    RegisterHandler(Handler::MainCollectClicked, Ran<Handler::MainCollectClicked>);
    RegisterHandler(Handler::MainDelayClicked, Ran<Handler::MainDelayClicked>);
    RegisterHandler(Handler::MainOngoingChosen, Ran<Handler::MainOngoingChosen>);
    RegisterHandler(Handler::MainCompletedSelected, Ran<Handler::MainCompletedSelected>);
    RegisterHandler(Handler::MainDestroyed, Ran<Handler::MainDestroyed>);
    ASSERT_TRUE(OpenWindow(Window::Main));
    test::input::Activate(Live(main_win::窗口));
    target = Live(GetParam().target);
    ASSERT_NE(target, nullptr);
    SetFocus(GetParam().target);
    ProcessPendingEvents();
  }

  // What the target shows, so that input which changed it without a handler shows too.
  std::vector<int> State() const {
    return {ComboIndex(main_win::完本类), Checked(main_win::单选框1), Checked(main_win::单选框2),
            IsLoaded(Window::Main)};
  }

  QWidget* target = nullptr;
};

TEST_P(InputDuringAWaitTest, RunsNothingThenOrLater) {
  const std::vector<int> before = State();
  WhileWaiting([this] { GetParam().input(target); }, [] { return true; });
  ProcessPendingEvents();
  EXPECT_TRUE(g_ran.empty()) << "input given during the wait";
  EXPECT_EQ(State(), before);

  SetVisible(main_win::窗口, false);
  GetParam().input(target);
  ProcessPendingEvents();
  EXPECT_TRUE(g_ran.empty()) << "input to the hidden window";

  SetVisible(main_win::窗口, true);
  test::input::Activate(Live(main_win::窗口));
  SetFocus(GetParam().target);
  GetParam().input(target);
  ProcessPendingEvents();
  EXPECT_EQ(g_ran, std::vector<Handler>{GetParam().handler}) << "the same input afterwards";
}

const InputCase kInputs[] = {
    {"ClickOnCollect", main_win::按钮2, [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
     Handler::MainCollectClicked},
    {"SpaceOnAButton", main_win::按钮3, [](QWidget* w) { QTest::keyClick(w, Qt::Key_Space); },
     Handler::MainDelayClicked},
    {"ClickOnARadio", main_win::单选框2, [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
     Handler::MainOngoingChosen},
    {"ArrowOnAClosedList", main_win::完本类, [](QWidget* w) { QTest::keyClick(w, Qt::Key_Down); },
     Handler::MainCompletedSelected},
    {"Esc", main_win::编辑框1, [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); },
     Handler::MainDestroyed},
};

INSTANTIATE_TEST_SUITE_P(MainWindow, InputDuringAWaitTest, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lirvo::ui
