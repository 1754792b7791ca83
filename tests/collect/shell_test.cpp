// The program shell: the main window's creation and destruction, the progress
// window's text field, the folder tree and the exit routine.
#include <filesystem>

#include "collect/folder_tree.h"
#include "collect/register.h"
#include "collect/state.h"
#include "services/files.h"
#include "services/gbk.h"
#include "support/gui_access.h"
#include "support/gui_fixture.h"
#include "support/temp_folder.h"
#include "ui/props.h"
#include "ui/templates/site_rules.h"
#include "ui/window_services.h"

namespace lirvo::collect {
namespace {

using namespace lirvo::literals;
namespace fs = std::filesystem;

class ShellTest : public test::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    State() = CollectionState{};
    RegisterHandlers();
    // The version check is not this module's: the update window just goes.
    ui::RegisterHandler(ui::Handler::UpdateCreated, [] { ui::CloseWindow(ui::Window::Update); });
  }

  bool Exists(const char* relativeUtf8) const {
    return fs::is_directory(fs::path(m_folder.NativePath()) / relativeUtf8);
  }
  std::size_t Count(const char* relativeUtf8) const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         fs::directory_iterator(fs::path(m_folder.NativePath()) / relativeUtf8)) {
      ++n;
    }
    return n;
  }

  test::TempFolder m_folder;
};

TEST_F(ShellTest, MainWindowCreationSetsTheDelayAndLoadsTheUpdateWindow) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  EXPECT_EQ(State().responseDelay, 1);
  EXPECT_TRUE(ui::IsLoaded(ui::Window::Update)) << "its close is still on its way";
  EXPECT_TRUE(ui::Visible(ui::main_win::窗口));
  ui::ProcessPendingEvents();
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
  EXPECT_TRUE(ui::IsLoaded(ui::Window::Main));
}

TEST_F(ShellTest, ClosingTheMainWindowRemovesTheCacheButKeepsTheLibrary) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  CreateFolderTree();
  WriteFile(m_folder.Path("缓存\\玄幻小说\\1.html"_gbk), "page");
  ui::CloseWindow(ui::Window::Main);
  ui::ProcessPendingEvents();
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Main));
  EXPECT_FALSE(Exists("缓存"));
  EXPECT_TRUE(Exists("小说/完本/玄幻小说"));
}

TEST_F(ShellTest, ProgramEndsWhenTheMainWindowCloses) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  ui::SetExitRoutine(ExitRoutine);
  State().categoryPath = "完本\\玄幻小说"_gbk;
  ui::CloseWindow(ui::Window::Main);
  EXPECT_EQ(ui::RunMessageLoop(), 0);
  EXPECT_EQ(State().categoryPath, "") << "the exit routine released the texts";
}

TEST_F(ShellTest, ProgressTextFollowsTheWindowSize) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Progress, ui::Window::Main));
  EXPECT_EQ(ui::Width(ui::progress_win::编辑框1), ui::Width(ui::progress_win::窗口));
  EXPECT_EQ(ui::Height(ui::progress_win::编辑框1), ui::Height(ui::progress_win::窗口));
  ui::SetWidth(ui::progress_win::窗口, 600);
  ui::SetHeight(ui::progress_win::窗口, 300);
  ui::ProcessPendingEvents();
  EXPECT_EQ(ui::Width(ui::progress_win::编辑框1), 600);
  EXPECT_EQ(ui::Height(ui::progress_win::编辑框1), 300);
}

// ---- Folder tree --------------------------------------------------------------

TEST_F(ShellTest, FolderTreeHasOneFolderPerCategory) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  CreateFolderTree();
  for (const char* folder : {"缓存", "小说/jpg", "小说/ini", "小说/ini/完本", "小说/ini/连载中"}) {
    EXPECT_TRUE(Exists(folder)) << folder;
  }
  EXPECT_EQ(Count("小说/完本"), 16u);
  EXPECT_EQ(Count("小说/ini/完本"), 16u);
  EXPECT_EQ(Count("小说/连载中"), 8u);
  EXPECT_EQ(Count("小说/ini/连载中"), 8u);
  EXPECT_EQ(Count("缓存"), 21u) << "three names are on both lists";
  EXPECT_TRUE(Exists("小说/连载中/同人小说"));
  EXPECT_TRUE(Exists("小说/完本/校园小说"));
}

TEST_F(ShellTest, SecondFolderTreeChangesNothingAndSaysNothing) {
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  CreateFolderTree();
  WriteFile(m_folder.Path("小说\\完本\\玄幻小说\\甲.rar"_gbk), "rar");
  CreateFolderTree();
  EXPECT_EQ(Count("小说/完本"), 16u);
  EXPECT_EQ(Count("小说/完本/玄幻小说"), 1u);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ShellTest, FolderTreeStopsAtTheFirstEmptyCompletedItem) {
  auto& items = test::RecordOf(ui::Window::Main)
                    .units[static_cast<std::size_t>(ui::main_win::完本类.index)]
                    .items;
  items[3].clear();
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  CreateFolderTree();
  EXPECT_EQ(Count("小说/完本"), 3u);
  EXPECT_EQ(Count("小说/连载中"), 3u);
  EXPECT_EQ(Count("缓存"), 5u) << "都市小说 is on both lists";
}

TEST_F(ShellTest, ExitRoutineReleasesTheTexts) {
  CollectionState& state = State();
  state.entrySerial = "123";
  state.archiveSizeText = "40000";
  state.newCount = 3;
  ExitRoutine();
  EXPECT_EQ(state.entrySerial, "");
  EXPECT_EQ(state.archiveSizeText, "");
  EXPECT_EQ(state.newCount, 3);
}

}  // namespace
}  // namespace lirvo::collect
