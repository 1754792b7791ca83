#pragma once
// The main and update windows over a temporary program folder, with the update
// host sent to a loopback server and dialogs answered by the test.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "support/gui_fixture.h"
#include "support/temp_folder.h"
#include "ui/handlers.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"
#include "update/register.h"

namespace lirvo::test {

using namespace lirvo::literals;
namespace uw = ui::update_win;
namespace mw = ui::main_win;

class UpdateFixture : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    update::RegisterHandlers();
    FailOnProgramEnd();
    // The start-up's part that matters here: the main window loads the update
    // window hidden from its created handler.
    ui::RegisterHandler(ui::Handler::MainCreated, [] { ui::OpenWindow(ui::Window::Update); });
    ui::SetMessageBoxAnswerer([this](const Text& message, int style, const Text& title) {
      messages.push_back({message, style, title});
      if (m_answers.empty()) return 1;
      const int next = m_answers.front();
      m_answers.pop_front();
      return next;
    });
  }

  void TearDown() override {
    GuiTest::TearDown();
    ClearHostMappingsForTest();
  }

  // Loads the main window as the program start does, then lets events run
  // until the version check has offered the update or closed its window.
  void Start() {
    ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
    ASSERT_TRUE(RunUntil(CheckEnded));
  }

  static bool CheckEnded() { return !ui::IsLoaded(ui::Window::Update) || ui::Visible(uw::窗口); }

  void MapUpdateHost(const std::string& loopback) {
    SetHostMappingForTest(hosts::kUpdate, loopback);
  }

  TempFolder m_folder;
  std::deque<int> m_answers;  // message box answers in order; then Cancel
};

}  // namespace lirvo::test
