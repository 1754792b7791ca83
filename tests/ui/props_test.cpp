// Property access: initial contents from the templates, clamps and
// conversions, values read back byte for byte, writes that raise no user
// events, and the fatal report for windows that are not loaded.
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

#include "services/gbk.h"
#include "services/text.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"
#include "ui/template.h"
#include "ui/templates/site_rules.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;
using test::Live;

int g_events = 0;
void CountEvent() {
  ++g_events;
}

class PropsTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    g_events = 0;
  }
};

// ---- Initial contents ----------------------------------------------------------

TEST_F(PropsTest, MainWindowStartsAsTheTemplateSays) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(Title(main_win::窗口), "Lirvo     BY:Tovan");
  EXPECT_EQ(EditText(main_win::编辑框1), "1");
  EXPECT_EQ(EditText(main_win::编辑框2), "默认为：1"_gbk);
  EXPECT_EQ(ComboItemCount(main_win::完本类), 16);
  EXPECT_EQ(ComboItemCount(main_win::连载类), 8);
  EXPECT_EQ(ComboItemCount(main_win::完本网页), 16);
  EXPECT_EQ(ComboItemCount(main_win::连载网页), 8);
  for (Unit combo : {main_win::完本类, main_win::连载类, main_win::完本网页, main_win::连载网页}) {
    EXPECT_EQ(ComboIndex(combo), 0);
  }
  EXPECT_EQ(ComboText(main_win::完本类), rules::CompletedCategories()[0]);
  EXPECT_EQ(ComboItemText(main_win::完本网页, 15), rules::CompletedUrlPrefixes()[15]);
  EXPECT_TRUE(Checked(main_win::单选框1));
  EXPECT_FALSE(Checked(main_win::单选框2));
  EXPECT_TRUE(Checked(main_win::选择框1));
  EXPECT_FALSE(Visible(main_win::选择框1));
  EXPECT_FALSE(Visible(main_win::连载类));
  EXPECT_TRUE(Visible(main_win::完本类));
  EXPECT_FALSE(Visible(main_win::超文本浏览框1));
  EXPECT_EQ(BrowserUrl(main_win::超文本浏览框1), "");
}

TEST_F(PropsTest, EditableUrlListIsEmptyAfterLoadingThenReadsBackWhatWasWritten) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(ComboIndex(main_win::完本网页), 0);
  EXPECT_EQ(ComboText(main_win::完本网页), "");
  const Text url = rules::CompletedUrlPrefixes()[2] + "7.html";
  SetComboText(main_win::完本网页, url);
  EXPECT_EQ(ComboText(main_win::完本网页), url);
  EXPECT_EQ(ComboIndex(main_win::完本网页), 0) << "the edit text does not move the selection";
  const Text odd = "a\x81\x5c\xfe";  // not valid GBK: kept as written all the same
  SetComboText(main_win::完本网页, odd);
  EXPECT_EQ(ComboText(main_win::完本网页), odd);
}

TEST_F(PropsTest, CollectPageWindowCarriesTheMarkerTexts) {
  ASSERT_TRUE(OpenWindow(Window::CollectPage, Window::Main) || OpenWindow(Window::CollectPage));
  EXPECT_FALSE(Visible(page_win::窗口));
  for (int index = 1; index <= 16; ++index) {
    const Unit field{Window::CollectPage, index};
    EXPECT_EQ(Content(field), rules::MarkerText(field)) << index;
  }
  EXPECT_EQ(Title(page_win::窗口), "");
  const Text held = "\xb1\xea\x5c\x00z"_gbk + Text("\xd2\x5c", 2);
  SetTitle(page_win::窗口, held);
  EXPECT_EQ(Title(page_win::窗口), held) << "the title serves as a text holder";
}

TEST_F(PropsTest, ProgressAndUpdateWindowsStartAsTheirTemplates) {
  ASSERT_TRUE(OpenWindow(Window::Progress));
  const Text waiting = Content(progress_win::编辑框1);
  EXPECT_EQ(waiting.substr(0, 18), "      \r\n\r\n\r\n\r\n\r\n\r\n");
  EXPECT_EQ(waiting.substr(18), Text(51, ' ') + "捕捉页面中，请稍候。。。"_gbk);
  ASSERT_TRUE(OpenWindow(Window::Update));
  EXPECT_EQ(EditText(update_win::编辑框2), "1180");
  EXPECT_EQ(EditText(update_win::编辑框3), "1120");
  EXPECT_EQ(Title(update_win::窗口), "Lirvo-程序更新"_gbk);
}

// ---- Clamps and conversions ------------------------------------------------------

TEST_F(PropsTest, ComboIndexIsClamped) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetComboIndex(main_win::完本类, 99);
  EXPECT_EQ(ComboIndex(main_win::完本类), 15);
  EXPECT_EQ(ComboText(main_win::完本类), rules::CompletedCategories()[15]);
  SetComboIndex(main_win::完本类, -5);
  EXPECT_EQ(ComboIndex(main_win::完本类), -1);
  EXPECT_EQ(ComboText(main_win::完本类), "") << "a drop-down list without selection has no text";
  SetComboText(main_win::完本类, "x");
  EXPECT_EQ(ComboText(main_win::完本类), "") << "a drop-down list only stores a written text";
  SetComboIndex(main_win::完本网页, 4);
  EXPECT_EQ(ComboText(main_win::完本网页), rules::CompletedUrlPrefixes()[4]);
}

TEST_F(PropsTest, PlaceAndSizeAreClampedAndKeptInTheRecord) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetLeft(main_win::按钮3, -40000);
  EXPECT_EQ(Left(main_win::按钮3), -32627);
  SetTop(main_win::按钮3, 40000);
  EXPECT_EQ(Top(main_win::按钮3), 32627);
  SetWidth(main_win::按钮3, -5);
  EXPECT_EQ(Width(main_win::按钮3), 0);
  SetHeight(main_win::按钮3, 99999);
  EXPECT_EQ(Height(main_win::按钮3), 32627);
  SetWidth(main_win::编辑框2, 70);
  CloseWindow(Window::Main, true);
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(Width(main_win::编辑框2), 70) << "common properties hold for a later load";
}

TEST_F(PropsTest, WindowSizeIsTheOuterSize) {
  ASSERT_TRUE(OpenWindow(Window::Progress));
  SetWidth(progress_win::窗口, 500);
  SetHeight(progress_win::窗口, 200);
  EXPECT_EQ(Width(progress_win::窗口), 500);
  EXPECT_EQ(Height(progress_win::窗口), 200);
}

TEST_F(PropsTest, TextsReadBackByteForByte) {
  ASSERT_TRUE(OpenWindow(Window::Progress));
  const Text progress = "第1页\r\n标题：甲\r\n\r\n作者：乙\r\n"_gbk;
  SetContent(progress_win::编辑框1, progress);
  EXPECT_EQ(Content(progress_win::编辑框1), progress) << "CR LF line ends stay";
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetEditText(main_win::编辑框2, "默认为：20"_gbk);
  EXPECT_EQ(EditText(main_win::编辑框2), "默认为：20"_gbk);
  SetEditText(main_win::编辑框2, {});
  EXPECT_EQ(EditText(main_win::编辑框2), "");
}

TEST_F(PropsTest, ShownRichBoxLaysOutOnlyTheNewestTextWhenEventsRun) {
  ASSERT_TRUE(OpenWindow(Window::Progress));
  ProcessPendingEvents();
  auto* box = Live<QPlainTextEdit>(progress_win::编辑框1);
  ASSERT_NE(box, nullptr);
  int layouts = 0;
  QObject::connect(box, &QPlainTextEdit::textChanged, [&layouts] { ++layouts; });
  for (int i = 1; i <= 50; ++i) SetContent(progress_win::编辑框1, "第"_gbk + ToText(i) + "篇"_gbk);
  EXPECT_EQ(Content(progress_win::编辑框1), "第50篇"_gbk) << "the content is there at once";
  ProcessPendingEvents();
  EXPECT_EQ(box->toPlainText(), QStringLiteral("第50篇"));
  EXPECT_EQ(layouts, 1) << "one layout for fifty writes";
  SetContent(progress_win::编辑框1, "甲\r\n乙"_gbk);
  ProcessPendingEvents();
  EXPECT_EQ(box->toPlainText(), QStringLiteral("甲\n乙"));
}

TEST_F(PropsTest, TypedTextTakesThePlaceOfTheWrittenOne) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  auto* edit = Live<QLineEdit>(main_win::编辑框1);
  edit->selectAll();
  QTest::keyClicks(edit, QStringLiteral("12"));
  EXPECT_EQ(EditText(main_win::编辑框1), "12");
}

TEST_F(PropsTest, VisibilityFollowsTheParents) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetVisible(main_win::窗口, false);
  EXPECT_FALSE(Visible(main_win::完本类));
  SetVisible(main_win::窗口, true);
  EXPECT_TRUE(Visible(main_win::完本类));
  SetVisible(main_win::完本类, false);
  SetVisible(main_win::连载类, true);
  EXPECT_FALSE(Visible(main_win::完本类));
  EXPECT_TRUE(Visible(main_win::连载类));
  SetDisabled(main_win::按钮2, true);
  EXPECT_TRUE(Disabled(main_win::按钮2));
  EXPECT_FALSE(Live(main_win::按钮2)->isEnabled());
}

// ---- Writes raise no user events ------------------------------------------------------

TEST_F(PropsTest, RadioButtonWriteChangesThatButtonAlone) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetChecked(main_win::单选框2, true);
  EXPECT_TRUE(Checked(main_win::单选框1)) << "its group keeps its state";
  EXPECT_TRUE(Checked(main_win::单选框2));
}

TEST_F(PropsTest, UserClickOnARadioButtonClearsItsGroupAndRaisesClicked) {
  RegisterHandler(Handler::MainOngoingChosen, CountEvent);
  ASSERT_TRUE(OpenWindow(Window::Main));
  QTest::mouseClick(Live(main_win::单选框2), Qt::LeftButton);
  EXPECT_EQ(g_events, 1);
  EXPECT_TRUE(Checked(main_win::单选框2));
  EXPECT_FALSE(Checked(main_win::单选框1));
  QTest::mouseClick(Live(main_win::单选框2), Qt::LeftButton);
  EXPECT_TRUE(Checked(main_win::单选框2)) << "a second click keeps it checked";
}

// ---- Timer, picture, browser ----------------------------------------------------------

TEST_F(PropsTest, TimerIntervalRules) {
  ASSERT_TRUE(OpenWindow(Window::Browse));
  auto* timer = dynamic_cast<QTimer*>(test::LiveObject(browse_win::时钟1));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(TimerInterval(browse_win::时钟1), 5000);
  EXPECT_TRUE(timer->isActive());
  SetTimerInterval(browse_win::时钟1, 0);
  EXPECT_FALSE(timer->isActive());
  SetTimerInterval(browse_win::时钟1, -7);
  EXPECT_EQ(TimerInterval(browse_win::时钟1), 0);
  SetTimerInterval(browse_win::时钟1, 400);
  QTest::qWait(60);
  const int left = timer->remainingTime();
  SetTimerInterval(browse_win::时钟1, 400);
  EXPECT_LE(timer->remainingTime(), left) << "the same interval again does not restart it";
  SetTimerInterval(browse_win::时钟1, 5000);
  EXPECT_GT(timer->remainingTime(), 4000);
}

TEST_F(PropsTest, PictureBoxKeepsTheBytesItWasGiven) {
  ASSERT_TRUE(OpenWindow(Window::Browse));
  QFile file(QStringLiteral(":/pictures/collect_button.jpg"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray data = file.readAll();
  const Bytes jpeg(data.constData(), static_cast<std::size_t>(data.size()));
  SetPicture(browse_win::图片框1, jpeg);
  EXPECT_EQ(Picture(browse_win::图片框1), jpeg);
  const QImage shown = Live(browse_win::图片框1)->grab().toImage();
  EXPECT_NE(shown.pixel(76, 108), shown.pixel(2, 2)) << "the picture sits in the middle";
  SetPicture(browse_win::图片框1, "not a picture");
  EXPECT_EQ(Picture(browse_win::图片框1), "not a picture");
  Live(browse_win::图片框1)->grab();  // draws nothing, does not fail
  SetPicture(browse_win::图片框1, {});
  EXPECT_EQ(Picture(browse_win::图片框1), "");
}

TEST_F(PropsTest, BrowserAddressGoesToTheDesktopBrowser) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  SetBrowserUrl(main_win::超文本浏览框1, "http://127.0.0.1:8635/qun");
  EXPECT_EQ(BrowserUrl(main_win::超文本浏览框1), "http://127.0.0.1:8635/qun");
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_EQ(openedUrls[0], "http://127.0.0.1:8635/qun");
}

// ---- The fatal report -----------------------------------------------------------

using PropsDeathTest = PropsTest;

TEST_F(PropsDeathTest, ReadingFromAWindowNotLoadedEndsTheProgram) {
  EXPECT_EXIT(EditText(browse_win::编辑框1), ::testing::ExitedWithCode(255),
              "未载入欲访问窗口组件所在的窗口");
  EXPECT_EXIT(SetVisible(update_win::窗口, true), ::testing::ExitedWithCode(255),
              "未载入欲访问窗口组件所在的窗口");
}

TEST_F(PropsDeathTest, TypeSpecificPropertyOfAMissingControlEndsTheProgram) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EXIT(ComboIndex(main_win::编辑框1), ::testing::ExitedWithCode(255), "指定窗口尚未载入");
  EXPECT_EXIT(ComboIndex(Unit{Window::Main, 40}), ::testing::ExitedWithCode(255),
              "指定窗口尚未载入");
}

}  // namespace
}  // namespace lirvo::ui
