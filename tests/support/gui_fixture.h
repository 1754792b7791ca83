#pragma once
// A fixture for tests that load windows: the engine starts clean, handlers are
// unbound, message boxes are answered by the test and OpenUrl is recorded.
// Header-only and widget-free, so any test target that links lirvo_ui can use it.
//
//   class MainWindowTest : public lirvo::test::GuiTest {};
//   TEST_F(MainWindowTest, ...) { answer = 1; ... EXPECT_EQ(messages.size(), 1u); }
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "services/text.h"
#include "ui/handlers.h"
#include "ui/window_services.h"

namespace lirvo::test {

struct ShownMessage {
  Text message;
  int style;
  Text title;
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    ui::Initialize();
    ui::ResetWindowsForTest();
    ui::ClearHandlers();
    ui::SetMessageBoxAnswerer([this](const Text& message, int style, const Text& title) {
      messages.push_back({message, style, title});
      return answer;
    });
    ui::SetOpenUrlRecorder([this](const Text& target) { openedUrls.push_back(target); });
  }

  void TearDown() override {
    ui::ResetWindowsForTest();
    ui::ClearHandlers();
    ui::SetMessageBoxAnswerer(nullptr);
    ui::SetOpenUrlRecorder(nullptr);
  }

  // A test that ends the program by accident must not pass for a clean exit.
  static void FailOnProgramEnd() {
    ui::SetExitRoutine([] {
      std::fputs("the program ended in the middle of a test\n", stderr);
      std::_Exit(70);
    });
  }

  // Lets pending events run (posted closes included) until the condition
  // holds or the time is up; true when it holds. The time only bounds a
  // failure: a loaded machine takes longer but never that long.
  static bool RunUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      ui::ProcessPendingEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::vector<ShownMessage> messages;
  std::vector<Text> openedUrls;
  int answer = 0;  // what the next message box answers
};

}  // namespace lirvo::test
