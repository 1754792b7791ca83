// Every caption, label and button text of every window fits its control at
// the program's font, with the controls at their templates' sizes.
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

#include "services/gbk.h"
#include "support/gui_fixture.h"
#include "ui/caption_fit_qt.h"
#include "ui/engine_qt.h"
#include "ui/ids.h"
#include "ui/widgets_qt.h"

namespace lirvo::ui {
namespace {

class CaptionFitTest : public test::GuiTest {};

TEST_F(CaptionFitTest, EveryCaptionFitsItsControl) {
  EXPECT_EQ(QFontInfo(QApplication::font()).pixelSize(), kProgramFontPixels);
  // The collection page window is never shown.
  for (const Window window : {Window::Main, Window::Progress, Window::Update, Window::Browse}) {
    ASSERT_TRUE(OpenWindow(window));
    const LiveWindow& live = *Engine::Get().Find(window);
    const WindowTemplate& record = Engine::Get().Record(window);
    for (std::size_t i = 1; i < live.units.size(); ++i) {
      auto* widget = qobject_cast<QWidget*>(live.units[i]);
      const UnitTemplate& unit = record.units[i];
      if (widget == nullptr) continue;
      // Controls placed outside their parent are never seen.
      if (!widget->parentWidget()->rect().contains(widget->geometry())) continue;
      EXPECT_EQ(widget->geometry(), QRect(unit.left, unit.top, unit.width, unit.height));
      const QString caption = ShownCaption(widget);
      if (caption.isEmpty()) continue;
      const QFontMetrics metrics(widget->font());
      const QRect area = CaptionArea(widget);
      const std::string what = GbkToUtf8(unit.name) + " " + caption.toStdString();
      EXPECT_LE(metrics.horizontalAdvance(caption), area.width()) << what;
      // The glyphs stay inside the control, and no font is shrunk past legibility.
      EXPECT_LE(metrics.tightBoundingRect(caption).height(), widget->height()) << what;
      EXPECT_GE(QFontInfo(widget->font()).pixelSize(), kSmallestFontPixels) << what;
      if (unit.fontHeight == 0) {
        EXPECT_LE(QFontInfo(widget->font()).pixelSize(), kProgramFontPixels) << what;
      }
    }
  }
}

TEST_F(CaptionFitTest, PictureAndCaptionOfTheCollectButtonDoNotOverlap) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  const auto* button = dynamic_cast<PictureButton*>(
      Engine::Get().Find(Window::Main)->units[static_cast<std::size_t>(main_win::按钮2.index)]);
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->HasPicture());
  EXPECT_FALSE(button->PictureArea().intersects(button->TextArea()));
  EXPECT_TRUE(button->rect().contains(button->PictureArea()));
  EXPECT_TRUE(button->rect().contains(button->TextArea()));
  EXPECT_EQ(button->TextArea().width(), button->fontMetrics().horizontalAdvance(button->text()));
  EXPECT_GE(button->PictureArea().width(), button->width() / 3);
}

}  // namespace
}  // namespace lirvo::ui
