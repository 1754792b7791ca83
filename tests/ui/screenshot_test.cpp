// Renders every window as loaded from its template into PNG files, for a look
// by eye: set LIRVO_SCREENSHOT_DIR to a folder; without it this does nothing.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>

#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;

class ScreenshotTest : public test::GuiTest {
 protected:
  static void Save(Window window, const char* name) {
    const char* folder = std::getenv("LIRVO_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') return;
    QWidget* widget = test::Live(Unit{window, 0});
    ASSERT_NE(widget, nullptr);
    QDir().mkpath(QString::fromUtf8(folder));
    const QString path = QString::fromUtf8(folder) + QLatin1Char('/') + QString::fromUtf8(name);
    EXPECT_TRUE(widget->grab().save(path, "PNG")) << name;
  }
};

TEST_F(ScreenshotTest, EveryWindow) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  ASSERT_TRUE(OpenWindow(Window::Update));
  SetVisible(update_win::窗口, true);
  ASSERT_TRUE(OpenWindow(Window::Progress, Window::Main));
  SetContent(progress_win::编辑框1,
             "标题：星辰刀客风云 \r\n作者：某某\r\n压缩文件大小：312KB\r\n简介：一段简介文字。"
             "\r\n\r\n               共采集21篇小说，其中已存在0篇小说，本次成功采集21篇小说！"
             "  正在采集已完结的玄幻小说..."_gbk);
  ASSERT_TRUE(OpenWindow(Window::Browse));
  SetCaption(browse_win::标签1,
             "作者：某某\r\n简介：一段简介文字，用来看看多行的透明标签怎样换行显示。"_gbk);
  ASSERT_TRUE(OpenWindow(Window::CollectPage, Window::Main));
  SetVisible(page_win::窗口, true);  // never shown in use; here to check its fields
  ProcessPendingEvents();
  Save(Window::Main, "main-window.png");
  Save(Window::Update, "update-window.png");
  Save(Window::Progress, "progress-window.png");
  Save(Window::Browse, "browse-window.png");
  Save(Window::CollectPage, "collect-page-window.png");

  // The main window once "连载中" is chosen: the ongoing list and the option.
  SetVisible(main_win::完本类, false);
  SetVisible(main_win::连载类, true);
  SetVisible(main_win::选择框1, true);
  SetChecked(main_win::单选框1, false);
  SetChecked(main_win::单选框2, true);
  ProcessPendingEvents();
  Save(Window::Main, "main-window-ongoing.png");
}

}  // namespace
}  // namespace lirvo::ui
