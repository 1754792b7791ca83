// Requests of the GUI thread: the work runs on another thread while windows
// repaint, and no handler runs until the request is over; what came meanwhile
// (timer ticks, closes, clicks) runs afterwards from the event loop.
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "services/blocking_call.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace std::chrono_literals;
using test::Live;

std::atomic<int> g_ticks{0};
std::atomic<int> g_clicks{0};

// Waits on the worker for a condition the GUI thread brings about; bounded.
bool WaitFor(const std::atomic<bool>& flag) {
  for (int i = 0; i < 500 && !flag; ++i) std::this_thread::sleep_for(10ms);
  return flag;
}

class RequestWaitTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_ticks = 0;
    g_clicks = 0;
  }
};

TEST_F(RequestWaitTest, TimerAndCloseDueDuringARequestComeAfterIt) {
  RegisterHandler(Handler::BrowseTimerTick, [] { ++g_ticks; });
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Browse));
  SetTimerInterval(browse_win::时钟1, 10);
  CloseWindow(Window::Main);

  const std::thread::id gui = std::this_thread::get_id();
  std::thread::id worker;
  std::thread::id nested;
  int ticksInside = -1;
  RunBlocking([&] {
    worker = std::this_thread::get_id();
    RunBlocking([&] { nested = std::this_thread::get_id(); });
    std::this_thread::sleep_for(200ms);  // about twenty ticks fall due
    ticksInside = g_ticks;
  });
  EXPECT_NE(worker, gui);
  EXPECT_EQ(nested, worker) << "a request inside a request runs where it is";
  EXPECT_EQ(ticksInside, 0);
  EXPECT_EQ(g_ticks, 0) << "nothing runs inside the caller either";
  EXPECT_TRUE(IsLoaded(Window::Main)) << "the close waits for the request";

  SetTimerInterval(browse_win::时钟1, 0);
  ProcessPendingEvents();
  EXPECT_EQ(g_ticks, 1) << "the ticks due meanwhile come as one";
  EXPECT_FALSE(IsLoaded(Window::Main));
}

TEST_F(RequestWaitTest, ClickDuringARequestReachesItsHandlerAfterIt) {
  RegisterHandler(Handler::MainDelayClicked, [] { ++g_clicks; });
  ASSERT_TRUE(OpenWindow(Window::Main));
  auto* button = Live<QAbstractButton>(main_win::按钮3);
  ASSERT_NE(button, nullptr);
  std::atomic<bool> clicked{false};
  QTimer::singleShot(0, button, [&] {
    QTest::mouseClick(button, Qt::LeftButton);
    clicked = true;
  });
  int clicksInside = -1;
  RunBlocking([&] {
    if (WaitFor(clicked)) clicksInside = g_clicks;
  });
  ASSERT_TRUE(clicked);
  EXPECT_EQ(clicksInside, 0);
  ProcessPendingEvents();
  EXPECT_EQ(g_clicks, 1) << "kept, not dropped";
}

// Counts the paints of one widget.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, e);
  }
  std::atomic<bool> painted{false};
};

TEST_F(RequestWaitTest, WindowRepaintsWhileARequestWaits) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  QWidget* window = Live(main_win::窗口);
  ProcessPendingEvents();
  PaintCounter counter;
  window->installEventFilter(&counter);
  window->update();
  bool paintedInside = false;
  RunBlocking([&] { paintedInside = WaitFor(counter.painted); });
  window->removeEventFilter(&counter);
  EXPECT_TRUE(paintedInside);
}

}  // namespace
}  // namespace lirvo::ui
