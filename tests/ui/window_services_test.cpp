// Dialog, delay, window and shell services: message box styles and answers,
// the delay that lets handlers run without spinning, combo and focus services,
// and the ways the program ends.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "ui/props.h"

namespace lirvo::ui {
namespace {

using namespace lirvo::literals;
using Clock = std::chrono::steady_clock;

int g_ticks = 0;

class WindowServicesTest : public test::GuiTest {};

// ---- Message box ---------------------------------------------------------------

TEST_F(WindowServicesTest, MessageBoxDefaultTitleAndAnswer) {
  answer = 1;
  EXPECT_EQ(MessageBox("问"_gbk, 0x21), 1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "信息："_gbk);
  EXPECT_EQ(messages[0].style, 0x21);
  EXPECT_EQ(MessageBox("x", 0, "T"), 1);
  EXPECT_EQ(messages[1].title, "T");
}

// The real box, pressed by a timer: button texts, results, Esc.
struct BoxCase {
  int style;
  const char* press;  // caption of the button to press; nullptr: Esc
  int result;
  std::vector<const char*> captions;
};

class RealMessageBoxTest : public WindowServicesTest,
                           public ::testing::WithParamInterface<BoxCase> {};

TEST_P(RealMessageBoxTest, ButtonsAndResults) {
  SetMessageBoxAnswerer(nullptr);
  const BoxCase c = GetParam();
  std::vector<QString> seen;
  QString title;
  QTimer::singleShot(20, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    title = box->windowTitle();
    for (QAbstractButton* button : box->buttons()) seen.push_back(button->text());
    if (c.press == nullptr) {
      QTest::keyClick(box, Qt::Key_Escape);
      return;
    }
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == QString::fromUtf8(c.press)) button->click();
    }
  });
  // Never leave a box waiting, whatever happens above.
  QTimer::singleShot(3000, [] {
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  EXPECT_EQ(MessageBox("问题"_gbk, c.style), c.result);
  EXPECT_EQ(title, QStringLiteral("信息："));
  ASSERT_EQ(seen.size(), c.captions.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_TRUE(seen.end() != std::find(seen.begin(), seen.end(), QString::fromUtf8(c.captions[i])))
        << c.captions[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Styles, RealMessageBoxTest,
                         ::testing::Values(BoxCase{0x40, "确定", 0, {"确定"}},
                                           BoxCase{0x21, "确定", 0, {"确定", "取消"}},
                                           BoxCase{0x21, "取消", 1, {"确定", "取消"}},
                                           BoxCase{0x21, nullptr, 1, {"确定", "取消"}},
                                           BoxCase{2, "忽略", 4, {"中止", "重试", "忽略"}},
                                           BoxCase{3, "否", 6, {"是", "否", "取消"}},
                                           BoxCase{4, "是", 5, {"是", "否"}},
                                           BoxCase{5, "重试", 3, {"重试", "取消"}}));

// ---- Delay -------------------------------------------------------------------

TEST_F(WindowServicesTest, DelayOfZeroOrLessReturnsWithoutRunningEvents) {
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  Delay(0);
  Delay(-5);
  EXPECT_FALSE(ran);
  Delay(1);
  EXPECT_TRUE(ran);
}

TEST_F(WindowServicesTest, DelayRunsTimerHandlersInsideAndWaitsItsTime) {
  g_ticks = 0;
  RegisterHandler(Handler::BrowseTimerTick, [] { ++g_ticks; });
  ASSERT_TRUE(OpenWindow(Window::Browse));
  SetTimerInterval(browse_win::时钟1, 10);
  const Clock::time_point start = Clock::now();
  Delay(120);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(120));
  EXPECT_GE(g_ticks, 1);  // how many depends on the machine's load
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(WindowServicesTest, DelayWaitsWithoutSpinning) {
  const double before = CpuSeconds();
  Delay(300);
  EXPECT_LT(CpuSeconds() - before, 0.1);
}

TEST_F(WindowServicesTest, CloseWindowInsideDelayTakesEffectThere) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  CloseWindow(Window::Main);
  EXPECT_TRUE(IsLoaded(Window::Main));
  Delay(5);
  EXPECT_FALSE(IsLoaded(Window::Main));
}

// ---- Shell, combo and focus services --------------------------------------------------

TEST_F(WindowServicesTest, OpenUrlHandsTheTargetOn) {
  OpenUrl("小说\\完本\\甲.rar"_gbk);
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_EQ(openedUrls[0], "小说\\完本\\甲.rar"_gbk);
}

TEST_F(WindowServicesTest, ComboItemTextOutsideTheListIsEmpty) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  EXPECT_EQ(ComboItemText(main_win::连载类, -1), "");
  EXPECT_EQ(ComboItemText(main_win::连载类, 8), "");
  EXPECT_NE(ComboItemText(main_win::连载类, 7), "");
}

TEST_F(WindowServicesTest, SetFocusAndDefaultFocus) {
  ASSERT_TRUE(OpenWindow(Window::Main));
  QWidget* window = test::Live(main_win::窗口);
  EXPECT_EQ(window->focusWidget(), test::Live(main_win::编辑框1));
  SetFocus(main_win::编辑框2);
  EXPECT_EQ(window->focusWidget(), test::Live(main_win::编辑框2));
}

// ---- Ending ---------------------------------------------------------------------

using WindowServicesDeathTest = WindowServicesTest;

TEST_F(WindowServicesDeathTest, ServicesOnAWindowNotLoadedEndTheProgram) {
  EXPECT_EXIT(SetFocus(browse_win::编辑框1), ::testing::ExitedWithCode(255),
              "运行时出错!.*指定窗口或窗口组件不存在或尚未载入");
  EXPECT_EXIT(CloseWindow(Window::Progress), ::testing::ExitedWithCode(255),
              "指定窗口或窗口组件不存在或尚未载入");
  EXPECT_EXIT(ListItemCount(browse_win::列表框1), ::testing::ExitedWithCode(255),
              "指定窗口或窗口组件不存在或尚未载入");
}

TEST_F(WindowServicesDeathTest, RuntimeErrorReportSkipsTheExitRoutine) {
  static std::string marker;
  marker = (std::filesystem::temp_directory_path() / "lirvo-exit-routine-ran").string();
  std::filesystem::remove(marker);
  SetExitRoutine([] { std::fclose(std::fopen(marker.c_str(), "w")); });
  EXPECT_EXIT(RuntimeError("坏了"_gbk, 7), ::testing::ExitedWithCode(255),
              "运行时出错!\r\n\r\n错误代码：7\r\n\r\n错误信息：坏了\r\n");
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(WindowServicesDeathTest, RuntimeErrorShowsTheErrorBox) {
  // The child reports what its box showed.
  SetMessageBoxAnswerer([](const Text& message, int style, const Text& title) {
    std::fprintf(stderr, "[%s|%d|%s]", GbkToUtf8(title).c_str(), style, GbkToUtf8(message).c_str());
    return 0;
  });
  EXPECT_EXIT(RuntimeError("载入启动窗口失败"_gbk), ::testing::ExitedWithCode(255),
              "\\[错误\\|16\\|运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n\\]");
}

// Out of memory: the runtime error report names the bytes asked for, then
// the program ends with -1 instead of an abort.
void AnswerByPrinting() {
  SetMessageBoxAnswerer([](const Text& message, int style, const Text& title) {
    std::fprintf(stderr, "[%s|%d|%s]", GbkToUtf8(title).c_str(), style, GbkToUtf8(message).c_str());
    return 0;
  });
}

// An allocation that fails where nobody catches it, as in an event handler.
void AllocateHuge() noexcept {
  volatile std::size_t huge = std::size_t{1} << 62;
  // Called as a function: a new-expression whose result is unused may be left out.
  void* volatile bytes = ::operator new[](huge);
  std::fprintf(stderr, "allocated %p\n", bytes);
}

TEST_F(WindowServicesDeathTest, AllocationNobodyServesShowsTheReport) {
  AnswerByPrinting();
  EXPECT_EXIT(AllocateHuge(), ::testing::ExitedWithCode(255),
              "\\[错误\\|16\\|运行时出错!\r\n\r\n错误信息：分配 4611686018427387904 "
              "字节内存失败!\r\n\\]");
}

// Leaves the process 64 MiB of address space above what it uses, then fills it.
[[noreturn]] void ExhaustAddressSpace() noexcept {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  const rlim_t room = static_cast<rlim_t>(pages) * 4096 + (rlim_t{64} << 20);
  const rlimit limit{room, room};
  setrlimit(RLIMIT_AS, &limit);
  std::vector<std::string> held;
  for (;;) held.emplace_back(std::size_t{1} << 20, 'x');
}

TEST_F(WindowServicesDeathTest, ExhaustedAddressSpaceShowsTheReport) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory needs an unlimited address space";
#endif
  AnswerByPrinting();
  EXPECT_EXIT(ExhaustAddressSpace(), ::testing::ExitedWithCode(255),
              "\\[错误\\|16\\|运行时出错!\r\n\r\n错误信息：分配 [0-9]+ 字节内存失败!");
}

TEST_F(WindowServicesDeathTest, EndProgramRunsTheExitRoutineOnce) {
  static int runs = 0;
  SetExitRoutine([] { std::fprintf(stderr, "exit routine %d\n", ++runs); });
  EXPECT_EXIT(EndProgram(3), ::testing::ExitedWithCode(3), "exit routine 1\n$");
  EXPECT_EXIT(EndProgram(0), ::testing::ExitedWithCode(0), "exit routine 1\n$");
}

}  // namespace
}  // namespace lirvo::ui

// Huge requests fail with a null pointer under AddressSanitizer too, as they
// do with the C library's allocator, so the report can be seen there.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
