// The self-update: the two questions, the download, and downloads that fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "demo_site.h"
#include "services/library_root.h"
#include "services/native_path.h"
#include "support/quick_http.h"
#include "support/raw_server.h"
#include "update/links.h"
#include "update/self_update.h"
#include "update/update_fixture.h"

namespace lirvo::test {
namespace {

const char kScanQuestion[] = "Lirvo文件是没有毒的，是否查看文件查杀结果？";
const char kConfirmQuestion[] =
    "更新文件不知道怎么回事一直误报，放心绝对没有毒，如果更新请确认！！";

class SelfUpdateTest : public UpdateFixture {
 protected:
  // Starts with an offer from the demo site and presses the update button.
  void SetUp() override {
    UpdateFixture::SetUp();
    SetHttpLimitsForTest(test::QuickHttpLimits());
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    options.version = "1190";
    m_site = std::make_unique<demo::DemoSite>(options);
    ASSERT_TRUE(m_site->Start());
    m_site->MapHostsForTest();
    Start();
    ASSERT_TRUE(ui::Visible(uw::窗口));
  }
  void TearDown() override {
    layout::SetRunsInstalledForTest(false);
    SetHttpLimitsForTest(HttpLimits{});
    UpdateFixture::TearDown();
    m_site.reset();
  }

  Text ProgramPath() const { return m_folder.Path("Lirvo-更新.exe"_gbk); }
  bool ProgramSaved() const { return std::filesystem::exists(NativePath(ProgramPath())); }

  // The update was given up: nothing saved or started, the window closed as
  // after declining, the main window still there.
  void ExpectGivenUp() {
    ui::ProcessPendingEvents();
    EXPECT_FALSE(ProgramSaved());
    EXPECT_THAT(openedUrls, ::testing::Not(::testing::Contains(ProgramPath())));
    EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
    EXPECT_TRUE(ui::IsLoaded(ui::Window::Main));
  }

  std::unique_ptr<demo::DemoSite> m_site;
};

TEST_F(SelfUpdateTest, QuestionsInOrderAndScanReportOnOk) {
  m_answers = {0, 1};
  update::UpdateStartClicked();

  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, Utf8ToGbk(kScanQuestion));
  EXPECT_EQ(messages[0].style, 0x21);
  EXPECT_EQ(messages[1].message, Utf8ToGbk(kConfirmQuestion));
  EXPECT_EQ(messages[1].style, 1);
  EXPECT_EQ(openedUrls, std::vector<Text>{update::kScanReportPage});
  // Declining the second question fetches nothing.
  EXPECT_EQ(m_site->RequestCount(demo::Host::Update, "/lirvo/gengxincx"), 0);
  ExpectGivenUp();
}

TEST_F(SelfUpdateTest, HiddenWhileAskingAndNoScanReportOnCancel) {
  ui::SetMessageBoxAnswerer([this](const Text&, int, const Text&) {
    EXPECT_FALSE(ui::Visible(uw::窗口));
    messages.push_back({});
    return 1;
  });
  update::UpdateStartClicked();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_TRUE(openedUrls.empty());
  ExpectGivenUp();
}

// A packaged copy is replaced by the package manager only: the offer stays,
// but 更新 says so and fetches, saves and starts nothing.
TEST_F(SelfUpdateTest, InstalledCopyPointsToThePackageManager) {
  layout::SetRunsInstalledForTest(true);
  m_answers = {0, 0};
  update::UpdateStartClicked();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message,
            Utf8ToGbk("本程序由系统的软件包管理器安装，请用软件包管理器更新本程序。"));
  EXPECT_EQ(messages[0].style, 0x40);
  EXPECT_EQ(m_site->RequestCount(demo::Host::Update, "/lirvo/gengxincx"), 0);
  EXPECT_TRUE(openedUrls.empty());
  ExpectGivenUp();
}

// Locator or program that cannot be fetched whole: the program keeps running.
struct FailureCase {
  const char* name;
  bool locator;  // which fetch fails
  int status;
  const char* body;
};

class FailedDownloadTest : public SelfUpdateTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedDownloadTest, NothingSavedOrStarted) {
  const FailureCase& c = GetParam();
  const std::string failing = c.locator ? "/lirvo/gengxincx" : demo::kUpdateProgramPath;
  m_site->SetRequestHook(
      [&](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != failing) return std::nullopt;
        return demo::Reply{c.status, c.body, "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  ExpectGivenUp();
}

INSTANTIATE_TEST_SUITE_P(
    Fetches, FailedDownloadTest,
    ::testing::Values(FailureCase{"locator_not_found", true, 404, "<html>404</html>"},
                      FailureCase{"locator_empty", true, 200, ""},
                      FailureCase{"locator_server_error", true, 500, "oops"},
                      FailureCase{"locator_not_a_url", true, 200, "nothing here"},
                      FailureCase{"program_not_found", false, 404, "<html>404</html>"},
                      FailureCase{"program_empty", false, 200, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelfUpdateTest, CutOffProgramIsNotSaved) {
  RawServer cut(RawScript()
                    .Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n")
                    .Send(std::string(400, 'x')));
  m_site->SetRequestHook(
      [&](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != "/lirvo/gengxincx") return std::nullopt;
        return demo::Reply{200, cut.Url("/Lirvo-update.sh"), "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  // A cut body is tried again, each time in vain.
  EXPECT_EQ(cut.Requests().size(), static_cast<std::size_t>(HttpLimits{}.tries));
  ExpectGivenUp();
}

TEST_F(SelfUpdateTest, FailedDownloadLeavesAnEarlierFileAlone) {
  ASSERT_TRUE(WriteFile(ProgramPath(), "earlier"));
  m_site->SetRequestHook(
      [](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != demo::kUpdateProgramPath) return std::nullopt;
        return demo::Reply{404, "gone", "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  ui::ProcessPendingEvents();
  EXPECT_EQ(ReadFile(ProgramPath()), "earlier");
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
}

// The accepted update saves the program runnable, opens it and ends with 0.
TEST_F(SelfUpdateTest, AcceptedUpdateSavesOpensAndEnds) {
  const std::string marker = m_folder.NativePath() + "/opened.txt";
  GTEST_FLAG_SET(death_test_style, "fast");
  // The site's threads must not be running when the process forks: one that
  // holds the allocator's lock would hang the child. The child serves itself.
  m_site->Stop();
  const auto acceptUpdate = [&] {
    if (!m_site->Start()) std::exit(4);
    m_site->MapHostsForTest();
    ui::SetExitRoutine(nullptr);
    ui::SetOpenUrlRecorder([&](const Text& target) { std::ofstream(marker) << target; });
    m_answers = {1, 0};
    update::UpdateStartClicked();
    std::exit(3);  // not reached
  };
  EXPECT_EXIT(acceptUpdate(), ::testing::ExitedWithCode(0), "");

  const Bytes expected = m_site->Answer(demo::Host::Update, demo::kUpdateProgramPath).body;
  EXPECT_EQ(ReadFile(ProgramPath()), expected);
  struct stat info {};
  ASSERT_EQ(::stat(NativePath(ProgramPath()).c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
  std::ifstream opened(marker);
  std::string target((std::istreambuf_iterator<char>(opened)), std::istreambuf_iterator<char>());
  EXPECT_EQ(target, ProgramPath());
}

}  // namespace
}  // namespace lirvo::test
