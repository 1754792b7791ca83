// What a screen reader reads of the browse window's search box is what the
// box shows, also for a value the program wrote with the box's signals
// blocked, on a shown window or on one hidden at the time (as during the
// hand-off at a run's end).
#include <QAccessible>
#include <QAccessibleInterface>
#include <QLineEdit>

#include "services/gbk.h"
#include "support/gui_fixture.h"
#include "ui/engine_qt.h"
#include "ui/ids.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;

class SearchBoxAccessibleTest : public test::GuiTest {};

TEST_F(SearchBoxAccessibleTest, ReadsWhatTheBoxShows) {
  ASSERT_TRUE(OpenWindow(Window::Browse));
  auto* box =
      qobject_cast<QLineEdit*>(Engine::Get()
                                   .Find(Window::Browse)
                                   ->units[static_cast<std::size_t>(browse_win::编辑框1.index)]);
  ASSERT_NE(box, nullptr);
  QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(box);
  ASSERT_NE(spoken, nullptr);
  ASSERT_NE(spoken->textInterface(), nullptr);

  const struct {
    Text text;
    bool hiddenMeanwhile;
  } cases[] = {{"绝世唐门"_gbk, false},
               {"斗罗大陆 外传"_gbk, true},
               {""_gbk, false},
               {" ", true},
               {"武动乾坤"_gbk, true}};
  for (const auto& c : cases) {
    if (c.hiddenMeanwhile) SetVisible(browse_win::窗口, false);
    SetEditText(browse_win::编辑框1, c.text);
    if (c.hiddenMeanwhile) SetVisible(browse_win::窗口, true);
    const QAccessibleTextInterface* reader = spoken->textInterface();
    EXPECT_EQ(box->displayText().toStdString(), GbkToUtf8(c.text));
    EXPECT_EQ(reader->text(0, reader->characterCount()), box->displayText()) << GbkToUtf8(c.text);
    EXPECT_EQ(spoken->text(QAccessible::Value), box->displayText()) << GbkToUtf8(c.text);
  }
}

}  // namespace
}  // namespace lirvo::ui
