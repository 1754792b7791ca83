// The user stops a run with the window manager's close on the progress
// window, while the run waits for the site or in a Delay; and the title says
// while the run waits for a site.
#include <QApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "collect/register.h"
#include "collect/run_stop.h"
#include "collect/site_wait_title.h"
#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/gui_input.h"
#include "support/held_request.h"
#include "ui/ids.h"
#include "ui/window_services.h"

namespace lirvo::collect {
namespace {

using namespace lirvo::literals;
using namespace std::chrono_literals;

struct CloseCase {
  const char* name;
  bool duringRequest;  // else during a Delay
  int answer;
  bool stops;
};

void PrintTo(const CloseCase& c, std::ostream* os) {
  *os << c.name;
}

class ProgressCloseTest : public test::GuiTest, public ::testing::WithParamInterface<CloseCase> {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    FailOnProgramEnd();
    RegisterHandlers();
    BeginRunSession();
    ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
    ASSERT_TRUE(ui::OpenWindow(ui::Window::Progress, ui::Window::Main));
    ui::ProcessPendingEvents();
  }
};

TEST_P(ProgressCloseTest, AsksAndStopsOnOk) {
  const CloseCase& c = GetParam();
  answer = c.answer;
  QWidget* progress = test::Live(ui::progress_win::窗口);
  auto close = [progress] { test::input::CloseByWindowManager(progress); };
  auto asked = [this] { return !messages.empty(); };
  if (c.duringRequest) {
    EXPECT_TRUE(test::WhileWaiting(close, asked));
  } else {
    QTimer::singleShot(0, progress, close);
    for (int i = 0; i < 500 && !asked(); ++i) ui::Delay(10);
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, "是否停止采集小说？"_gbk);
  EXPECT_EQ(messages[0].style, 33);
  EXPECT_EQ(RunStopRequested(), c.stops);
  EXPECT_EQ(RunSession()->Cancelled(), c.stops);
  ui::ProcessPendingEvents();
  EXPECT_TRUE(ui::IsLoaded(ui::Window::Progress)) << "the window stays; the run shows the summary";

  // Once stopping, a second close asks nothing.
  test::input::CloseByWindowManager(progress);
  ui::ProcessPendingEvents();
  EXPECT_EQ(messages.size(), c.stops ? 1u : 2u);
}

const CloseCase kCloses[] = {
    {"OkWhileARequestWaits", true, 0, true},
    {"CancelWhileARequestWaits", true, 1, false},
    {"OkInADelay", false, 0, true},
    {"CancelInADelay", false, 1, false},
};

INSTANTIATE_TEST_SUITE_P(Progress, ProgressCloseTest, ::testing::ValuesIn(kCloses),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SiteWaitTextTest, SaysWhichHostAndHowLongInWholeSeconds) {
  const auto now = std::chrono::steady_clock::now();
  struct Case {
    std::optional<HttpSiteWait> wait;
    Text shown;
  };
  const Case cases[] = {
      {std::nullopt, ""},
      {HttpSiteWait{"down.example:80", now}, ""},
      {HttpSiteWait{"down.example:80", now - 1s}, ""},
      {HttpSiteWait{"down.example:80", now + 2100ms}, " — 等待网站down.example：3秒"_gbk},
      {HttpSiteWait{"127.0.0.1:8634", now + 30s}, " — 等待网站127.0.0.1:8634：30秒"_gbk},
      {HttpSiteWait{"img.example:8080", now + 1ms}, " — 等待网站img.example:8080：1秒"_gbk},
  };
  for (const Case& c : cases) EXPECT_EQ(SiteWaitText(c.wait, now), c.shown);
}

}  // namespace
}  // namespace lirvo::collect
