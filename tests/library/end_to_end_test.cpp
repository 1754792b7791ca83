// The whole program in one go, off-screen against the demo site: start, collect
// one listing page, accept the summary, look at a novel, search for it, close
// the browse window. The program must end with exit code 0 and keep its library.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/register.h"
#include "app/state.h"
#include "collect/register.h"
#include "demo_site.h"
#include "library/browse_fixture.h"
#include "services/http.h"
#include "services/profile.h"
#include "ui/handlers_internal.h"
#include "update/register.h"

namespace lirvo::test {
namespace {

namespace mw = ui::main_win;
namespace fs = std::filesystem;

constexpr int kCategory = 2;  // 言情小说, not the category the pool starts with

// Inside the program's own process no gtest check reaches the report, so a
// broken step ends the process with its own code and says why.
void Require(bool condition, int code, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "step failed: %s\n", what);
  std::fflush(stderr);
  std::_Exit(code);
}

void UserDoes(ui::Handler id) {
  if (ui::HandlerRoutine routine = ui::BoundRoutine(id)) routine();
}

class EndToEndTest : public BrowseFixture {
 protected:
  void SetUp() override {
    BrowseFixture::SetUp();
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    // The site starts inside the program's process: forking a process whose
    // server threads may hold the allocator's lock can hang the child.
    m_site = std::make_unique<demo::DemoSite>(options);
  }
  void TearDown() override {
    BrowseFixture::TearDown();
    ClearHostMappingsForTest();
    m_site.reset();
  }

  // Everything the program and its user do, up to the end of the process.
  void RunProgram(const Text& title) {
    Require(m_site->Start(), 9, "demo site");
    m_site->MapHostsForTest();
    ui::ClearHandlers();
    app::RegisterHandlers();
    collect::RegisterHandlers();
    library::RegisterHandlers();
    update::RegisterHandlers();
    ui::SetExitRoutine(app::ExitRoutine);
    answer = 0;  // OK to the summary
    Require(ui::OpenWindow(ui::Window::Main), 10, "start");
    Require(RunUntil([] { return !ui::IsLoaded(ui::Window::Update); }), 11, "no update offered");

    ui::SetComboIndex(mw::完本类, kCategory);
    UserDoes(ui::Handler::MainCompletedSelected);
    ui::SetEditText(mw::编辑框1, "1");
    UserDoes(ui::Handler::MainCollectClicked);
    ui::ProcessPendingEvents();
    Require(ui::IsLoaded(ui::Window::Browse) && !ui::IsLoaded(ui::Window::Main), 12,
            "the summary hands over to the browse window");
    Require(ui::FileBoxFolder(bw::文件框1) == ArchiveFolder(true, ui::ComboText(bw::完本类)), 13,
            "the collected category is listed");

    SelectFile(title + ".rar");
    Require(ui::Caption(bw::标签1).rfind(title + " 简介：\r\n  "_gbk, 0) == 0, 14, "details shown");
    Require(!ui::Picture(bw::图片框1).empty(), 15, "cover shown");

    answer = 1;  // found, but not opened
    ui::SetEditText(bw::编辑框1, title + ".rar");
    UserDoes(ui::Handler::BrowseSearchClicked);
    Require(!messages.empty() && messages.back().message == "寻找成功，是否打开？"_gbk, 16,
            "search finds the novel");

    ui::CloseWindow(ui::Window::Browse);
    ui::RunMessageLoop();
    Require(false, 17, "closing the browse window ends the program");
  }

  std::unique_ptr<demo::DemoSite> m_site;
};

TEST_F(EndToEndTest, CollectBrowseSearchAndClose) {
  const demo::Category* category = m_site->Find(true, kCategory);
  ASSERT_NE(category, nullptr);
  const std::vector<demo::Entry> entries = demo::CollectedEntries(*category, 1);
  ASSERT_FALSE(entries.empty());
  const Text title = entries.front().title;

  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(RunProgram(title), ::testing::ExitedWithCode(0), "");

  // The library stays, the cache does not.
  EXPECT_FALSE(fs::exists(NativePath(m_folder.Path("缓存"_gbk))));
  for (const demo::Entry& entry : entries) {
    EXPECT_TRUE(
        fs::exists(NativePath(ArchiveFolder(true, category->name) + "\\" + entry.title + ".rar")))
        << GbkToUtf8(entry.title);
  }
  EXPECT_EQ(ReadProfile(m_folder.Path("小说\\ini\\小说.ini"_gbk), "小说"_gbk, title),
            ArchiveFolder(true, category->name) + "\\" + title + ".rar");
}

}  // namespace
}  // namespace lirvo::test
