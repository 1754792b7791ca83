#pragma once
// A browse window over a library in a temporary program folder, with message
// boxes answered and opened targets recorded instead of shown.
#include <QListWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "collect/state.h"
#include "library/register.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/gui_input.h"
#include "support/temp_folder.h"
#include "ui/handlers.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::test {

using namespace lirvo::literals;
namespace bw = ui::browse_win;

class BrowseFixture : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    library::RegisterHandlers();
    FailOnProgramEnd();
    collect::State().responseDelay = 1;
  }

  void TearDown() override {
    // Closing the window would end the test program.
    ui::RegisterHandler(ui::Handler::BrowseDestroyed, nullptr);
    GuiTest::TearDown();
  }

  static void MakeFolders(const Text& path) {
    std::filesystem::create_directories(NativePath(path));
  }
  static Text ArchiveFolder(bool completed, const Text& category) {
    return layout::ArchiveFolder(layout::CategoryPath(completed, category));
  }
  void AddArchive(bool completed, const Text& category, const Text& name,
                  const Bytes& bytes = "Rar!") const {
    MakeFolders(ArchiveFolder(completed, category));
    ASSERT_TRUE(WriteFile(ArchiveFolder(completed, category) + "\\" + name, bytes));
  }
  void AddIntroduction(bool completed, const Text& category, const Text& title,
                       const Bytes& bytes) const {
    const Text kind = layout::CategoryPath(completed, category);
    MakeFolders(layout::RecordFolder(kind));
    ASSERT_TRUE(WriteFile(layout::IntroductionPath(kind, title), bytes));
  }
  void AddCover(const Text& title, const Bytes& bytes) const {
    MakeFolders(layout::CoverFolder());
    ASSERT_TRUE(WriteFile(layout::CoverPath(title), bytes));
  }

  // Loads the browse window as the collection summary does; its created
  // handler lists and pools the first completed category.
  void OpenBrowse() {
    ASSERT_TRUE(ui::OpenWindow(ui::Window::Browse));
    ui::ProcessPendingEvents();
  }

  static std::vector<Text> Pool() {
    std::vector<Text> pool;
    for (int i = 0; i < ui::ListItemCount(bw::列表框1); ++i)
      pool.push_back(ui::ListItemText(bw::列表框1, i));
    return pool;
  }

  // The user clicks an entry of the file box with the mouse.
  static void SelectFile(const Text& name) {
    auto* box = Live<QListWidget>(bw::文件框1);
    ASSERT_NE(box, nullptr);
    const int row = Row(box, name);
    ASSERT_GE(row, 0) << "not listed: " << GbkToUtf8(name);
    input::ClickRow(box, row);
  }
  static void DoubleClickFile(const Text& name) {
    auto* box = Live<QListWidget>(bw::文件框1);
    const int row = Row(box, name);
    ASSERT_GE(row, 0) << "not listed: " << GbkToUtf8(name);
    input::DoubleClickRow(box, row);
  }
  static int Row(QListWidget* box, const Text& name) {
    for (int row = 0; row < box->count(); ++row)
      if (box->item(row)->text() == QString::fromStdString(GbkToUtf8(name))) return row;
    return -1;
  }

  TempFolder m_folder;
};

}  // namespace lirvo::test
