// Windows on a screen smaller than they are: this whole program runs at scale
// factor 2, so the off-screen platform's 800 x 800 screen is 400 x 400. A
// window that does not fit keeps its title bar and its left edge on the screen.
#include <QGuiApplication>
#include <QScreen>

#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"

// Before main, so before the application object reads it.
static const bool kScaledScreen = qputenv("QT_SCALE_FACTOR", "2");

namespace lirvo::ui {
namespace {

class WindowPlacementTest : public test::GuiTest {};

TEST_F(WindowPlacementTest, WindowsLargerThanTheScreenStartAtItsTopLeft) {
  ASSERT_TRUE(kScaledScreen);
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_EQ(area.size(), QSize(400, 400)) << "the scale factor did not take";

  // 711 x 230: too wide, not too tall.
  ASSERT_TRUE(OpenWindow(Window::Progress));
  EXPECT_EQ(Left(progress_win::窗口), area.left());
  EXPECT_EQ(Top(progress_win::窗口), area.top() + (400 - 230) / 2);

  // 394 x 409: fits in width, too tall.
  ASSERT_TRUE(OpenWindow(Window::Browse));
  EXPECT_EQ(Left(browse_win::窗口), area.left() + (400 - 394) / 2);
  EXPECT_EQ(Top(browse_win::窗口), area.top());

  // 269 x 161 fits and stays centred.
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(Left(main_win::窗口), area.left() + (400 - 269) / 2);
  EXPECT_EQ(Top(main_win::窗口), area.top() + (400 - 161) / 2);
}

}  // namespace
}  // namespace lirvo::ui
