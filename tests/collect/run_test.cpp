// Whole collection runs in-process, off-screen, against the demo site.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "collect/collect_steps.h"
#include "collect/cuts.h"
#include "collect/folder_tree.h"
#include "collect/lookahead.h"
#include "collect/register.h"
#include "collect/run_lock.h"
#include "collect/state.h"
#include "demo_site.h"
#include "library/register.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/library_check.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "services/profile.h"
#include "support/quick_http.h"
#include "support/raw_server.h"
#include "support/scoped_environment.h"
#include "support/temp_folder.h"
#include "ui/handlers.h"
#include "ui/handlers_internal.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo {
namespace {

using namespace lirvo::literals;
namespace fs = std::filesystem;
namespace mw = ui::main_win;
namespace bw = ui::browse_win;
using demo::Entry;
using demo::Host;

using Choice = test::RunChoice;

struct Message {
  Text text;
  int style = 0;
};

// The user's click on a control, as the window engine runs it.
void Click(ui::Handler id) {
  test::UserClicks(id);
}

Text ReadAll(const Text& path) {
  return ReadFile(path);
}

Text KilobytesOf(std::size_t bytes) {
  return std::to_string(std::llround(static_cast<double>(bytes) / 1000.0));
}

using test::FilesUnder;

class CollectRun : public testing::Test {
 protected:
  static void SetUpTestSuite() { ui::Initialize(); }

  void SetUp() override {
    for (int& port : m_options.ports) port = 0;
    m_folder = std::make_unique<test::TempFolder>();
    SetHttpLimitsForTest(test::QuickHttpLimits());
    StartProcess();
  }

  void TearDown() override {
    ui::ResetWindowsForTest();
    ui::ClearHandlers();
    ui::SetMessageBoxAnswerer(nullptr);
    ClearHostMappingsForTest();
    SetHttpLimitsForTest(HttpLimits{});
    m_site.reset();
    m_folder.reset();
  }

  // What a fresh program start does, minus the update check.
  void StartProcess() {
    m_messages.clear();
    ASSERT_TRUE(test::StartProgram([this](const Text& message, int style) {
      m_messages.push_back({message, style});
      if (m_atSummary) m_atSummary();
      return m_answer;
    }));
  }

  demo::DemoSite& Site() {
    if (!m_site) {
      m_site = std::make_unique<demo::DemoSite>(m_options);
      EXPECT_TRUE(m_site->Start());
      m_site->MapHostsForTest();
    }
    return *m_site;
  }

  const demo::Category& Category(const Choice& c) {
    const demo::Category* category = Site().Find(c.completed, c.category);
    EXPECT_NE(category, nullptr);
    return *category;
  }

  // Chooses on the main window as a user would, then clicks 采集.
  void Run(const Choice& c) {
    Site();
    test::ChooseAndCollect(c);
  }

  // Listing page 1 of `category` names `entry` by `title` instead.
  void ListTitleInstead(const demo::Category& category, const Entry& entry, const Text& title) {
    Site().SetRequestHook(
        [this, &category, old = entry.title, title](Host host, const std::string& path) {
          if (host != Host::Main || path.find("1.html") == std::string::npos)
            return std::optional<demo::Reply>();
          std::string page = Site().ListingPage(category, 1);
          for (std::size_t at = page.find(old); at != std::string::npos;
               at = page.find(old, at + title.size()))
            page.replace(at, old.size(), title);
          return std::optional<demo::Reply>(demo::Reply{200, page, "text/html"});
        });
  }

  Text PF(const Text& relative) const { return m_folder->Path(relative); }
  Text Kind(const Choice& c) { return layout::CategoryPath(c.completed, Category(c).name); }
  Text Archive(const Choice& c, const Text& title) { return layout::ArchivePath(Kind(c), title); }
  Text Cover(const Text& title) const { return layout::CoverPath(title); }
  Text Index() const { return layout::NovelIndexPath(); }
  Text RecordFolder(const Choice& c) { return layout::RecordFolder(Kind(c)) + "\\"; }

  static std::string ArchivePath(const Entry& e) { return "/down/2011/" + e.serial + ".rar"; }
  static std::string CoverPath(const Entry& e) { return "/dianzishu/UploadPic/" + e.coverPath; }
  static std::string PagePath(const Entry& e) { return "/txt/" + e.serial + "txt.html"; }

  Text SummaryOf(int total, int existing, int fresh, int failed = 0) {
    return "采集完成，共采集"_gbk + std::to_string(total) + "篇小说，其中已存在"_gbk +
           std::to_string(existing) + "篇小说，本次成功采集"_gbk + std::to_string(fresh) +
           "篇小说"_gbk + (failed > 0 ? "，下载失败"_gbk + std::to_string(failed) + "篇"_gbk : "") +
           "！是否查看文件？"_gbk;
  }

  // The record step's files and index line for one entry.
  void ExpectRecorded(const Choice& c, const Entry& e) {
    SCOPED_TRACE(GbkToUtf8(e.title));
    EXPECT_EQ(ReadAll(RecordFolder(c) + e.title + "简介.ini"_gbk), e.introduction);
    EXPECT_EQ(ReadProfile(RecordFolder(c) + e.title + ".ini", e.title, "作者"_gbk), e.author);
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, e.title), Archive(c, e.title));
  }

  void ExpectNoTemporaryFiles() {
    for (const std::string& file : FilesUnder(m_folder->NativePath())) {
      if (file == LockFileName()) continue;
      EXPECT_EQ(fs::path(file).filename().string().rfind('.', 0), std::string::npos) << file;
    }
  }

  static std::string LockFileName() {
    return fs::path(NativePath(layout::RunLockPath())).filename().string();
  }

  demo::SiteOptions m_options;
  std::unique_ptr<test::TempFolder> m_folder;
  std::unique_ptr<demo::DemoSite> m_site;
  std::vector<Message> m_messages;
  std::function<void()> m_atSummary;
  int m_answer = 0;
};

// --- Rules on the main window ---------------------------------------------
TEST_F(CollectRun, TwinListsFollowByIndex) {
  ui::SetComboIndex(mw::完本类, 5);
  Click(ui::Handler::MainCompletedSelected);
  EXPECT_EQ(ui::ComboIndex(mw::完本网页), 5);
  ui::SetComboIndex(mw::完本网页, 7);
  Click(ui::Handler::MainCompletedUrlSelected);
  EXPECT_EQ(ui::ComboIndex(mw::完本类), 7);
  ui::SetComboIndex(mw::连载类, 3);
  Click(ui::Handler::MainOngoingSelected);
  EXPECT_EQ(ui::ComboIndex(mw::连载网页), 3);
}

TEST_F(CollectRun, TypeButtonsSwapTheListsAndTheOverwriteOption) {
  ui::SetComboIndex(mw::连载类, 3);
  Click(ui::Handler::MainOngoingChosen);
  EXPECT_TRUE(ui::Visible(mw::选择框1));
  EXPECT_TRUE(ui::Visible(mw::连载类));
  EXPECT_FALSE(ui::Visible(mw::完本类));
  EXPECT_EQ(ui::ComboIndex(mw::连载网页), 3);
  Click(ui::Handler::MainCompletedChosen);
  EXPECT_FALSE(ui::Visible(mw::选择框1));
  EXPECT_FALSE(ui::Visible(mw::连载类));
  EXPECT_TRUE(ui::Visible(mw::完本类));
}

TEST_F(CollectRun, ConfirmTakesTheResponseDelay) {
  EXPECT_EQ(collect::State().responseDelay, 1);  // set when the main window is created
  ui::SetEditText(mw::编辑框2, "默认为：250"_gbk);
  Click(ui::Handler::MainDelayClicked);
  EXPECT_EQ(collect::State().responseDelay, 250);
  ui::SetEditText(mw::编辑框2, "abc");
  Click(ui::Handler::MainDelayClicked);
  EXPECT_EQ(collect::State().responseDelay, 0);
}

TEST_F(CollectRun, PageCountIsTruncatedAndPagesComeFromTheChosenPrefix) {
  Run(Choice{true, 6, "2.9"});  // 仙侠小说
  EXPECT_EQ(Site().Requests(Host::Main),
            (std::vector<std::string>{"/wanben/xx/tuijian1.html", "/wanben/xx/tuijian2.html"}));
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(40, 0, 40));
}

// --- A plain category, three pages, then a second run ---------------------
TEST_F(CollectRun, ThreePagesCollectSixtyNovelsThenASecondRunFindsThemAll) {
  const Choice c{true, 0, "3"};
  const demo::Category& category = Category(c);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 3);
  ASSERT_EQ(entries.size(), 60u);
  // An older index line for the first title is overwritten.
  CreateFolder(PF("小说"_gbk));
  CreateFolder(PF("小说\\ini"_gbk));
  WriteProfile(Index(), "小说"_gbk, entries[0].title, "old");

  Text progress;
  bool mainVisible = true;
  m_atSummary = [&] {
    progress = ui::Content(ui::progress_win::编辑框1);
    mainVisible = ui::Visible(mw::窗口);
    EXPECT_TRUE(ui::Visible(ui::progress_win::窗口));
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(ReadAll(PF("缓存\\"_gbk + category.name + "\\" + std::to_string(n) + ".html")),
                Site().ListingPage(category, n));
    }
    EXPECT_EQ(FileSize(PF("缓存\\"_gbk + category.name + "\\4.html")), -1);
    for (const Entry& e : entries)
      EXPECT_EQ(ReadAll(PF("缓存\\"_gbk + e.title + "下载页.html"_gbk)), Site().DownloadPage(e));
  };
  Run(c);

  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(60, 0, 60));
  EXPECT_EQ(m_messages[0].style, 33);
  EXPECT_FALSE(mainVisible);
  const Entry& last = entries.back();
  EXPECT_EQ(progress, "标题："_gbk + last.title + " \r\n" + "作者："_gbk + last.author + "\r\n" +
                          "压缩文件大小："_gbk + KilobytesOf(last.archiveSize) + "KB\r\n" +
                          "简介："_gbk + last.introduction + "\r\n\r\n" + std::string(15, ' ') +
                          "共采集60篇小说，其中已存在0篇小说，本次成功采集60篇小说！  "
                          "正在采集已完结的玄幻小说..."_gbk);

  for (const Entry& e : entries) {
    ExpectRecorded(c, e);
    EXPECT_EQ(ReadAll(Archive(c, e.title)), Site().Archive(e));
    EXPECT_EQ(ReadAll(Cover(e.title)), Site().Cover(e));
    EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(e)), 1);
    EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(e)), 1);
    EXPECT_EQ(Site().RequestCount(Host::Text, PagePath(e)), 1);
  }
  EXPECT_EQ(Site().Requests(Host::Main).size(), 3u);
  ExpectNoTemporaryFiles();

  // OK hands over to the browse window on the collected category.
  EXPECT_TRUE(ui::IsLoaded(ui::Window::Browse));
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Main));
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Progress));
  EXPECT_FALSE(ui::IsLoaded(ui::Window::CollectPage));
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), PF("小说\\完本\\玄幻小说"_gbk));
  EXPECT_TRUE(ui::Checked(bw::单选框1));
  EXPECT_FALSE(ui::Checked(bw::单选框2));
  EXPECT_TRUE(ui::Visible(bw::完本类));
  EXPECT_FALSE(ui::Visible(bw::连载类));
  EXPECT_FALSE(fs::exists(fs::path(m_folder->NativePath()) / "缓存"));

  // A second program run finds every archive; the records are written again.
  DeleteFile(RecordFolder(c) + entries[5].title + "简介.ini"_gbk);
  m_atSummary = nullptr;
  StartProcess();
  Site().ClearRequests();
  Run(c);
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(60, 60, 0));
  EXPECT_TRUE(Site().Requests(Host::Download).empty());
  EXPECT_TRUE(Site().Requests(Host::Image).empty());
  EXPECT_TRUE(Site().Requests(Host::Text).empty());
  for (const Entry& e : entries) ExpectRecorded(c, e);
}

// --- Thresholds and the page bound ----------------------------------------
TEST_F(CollectRun, ArchiveAndCoverThresholds) {
  const Choice c{true, 1, "1"};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  ASSERT_GE(entries.size(), 4u);
  collect::CreateFolderTree();  // needs the main window's lists
  WriteFile(Archive(c, entries[0].title), std::string(30000, 'a'));  // fetched again
  WriteFile(Archive(c, entries[1].title), std::string(30001, 'b'));  // present
  WriteFile(Cover(entries[2].title), std::string(2001, 'c'));        // present
  WriteFile(Cover(entries[3].title), std::string(2000, 'd'));        // fetched again
  Run(c);

  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 1, n - 1));
  EXPECT_EQ(ReadAll(Archive(c, entries[0].title)), Site().Archive(entries[0]));
  EXPECT_EQ(ReadAll(Archive(c, entries[1].title)), std::string(30001, 'b'));
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(entries[1])), 0);
  EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(entries[1])), 0);
  ExpectRecorded(c, entries[1]);
  EXPECT_EQ(ReadAll(Cover(entries[2].title)), std::string(2001, 'c'));
  EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(entries[2])), 0);
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(entries[2])), 1);
  EXPECT_EQ(ReadAll(Cover(entries[3].title)), Site().Cover(entries[3]));
}

TEST_F(CollectRun, PageLoopIsBoundedByThePageCountNotByThePagesFetched) {
  const Choice c{true, 2, "5"};
  Run(c);
  // Pages 1 to 3 are full, page 4 is short and ends the fetch.
  EXPECT_EQ(Site().Requests(Host::Main).size(), 4u);
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(60, 0, 60));
}

TEST_F(CollectRun, PageCountZeroOrBeyondTheIntegersFetchesNothing) {
  Run(Choice{true, 0, "0"});
  const std::vector<Message> first = m_messages;
  StartProcess();
  // Beyond the 32-bit range the count is the "indefinite" integer, a negative
  // one, so no page is fetched or parsed (clamped, it would parse 2^31 pages).
  Run(Choice{true, 0, "99999999999"});
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].text, SummaryOf(0, 0, 0));
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(0, 0, 0));
  EXPECT_TRUE(Site().Requests(Host::Main).empty());
}

// --- Through the user's proxy ----------------------------------------------
TEST_F(CollectRun, WholeRunGoesThroughTheUsersProxy) {
  // The site is reached only through a forward proxy, which, like a real one,
  // takes the host from the request line and answers a bare path with an error.
  const demo::DemoSite site(m_options);
  const std::pair<const char*, Host> sites[] = {{hosts::kMain, Host::Main},
                                                {hosts::kText, Host::Text},
                                                {hosts::kImage, Host::Image},
                                                {hosts::kDownload, Host::Download}};
  test::RawServer proxy([&](const test::RawRequest& request) {
    for (const auto& [name, host] : sites) {
      const std::string origin = std::string("http://") + name;
      if (request.target.starts_with(origin + "/")) {
        const demo::Reply reply = site.Answer(host, request.target.substr(origin.size()));
        return test::RawScript().Send(test::HttpResponse(
            reply.status, reply.body, "Content-Type: " + reply.contentType + "\r\n"));
      }
    }
    return test::RawScript().Send(test::HttpResponse(400, "<html>Bad Request</html>"));
  });
  const test::ScopedEnvironment variable("http_proxy", proxy.Url(""));
  const test::ScopedEnvironment noProxy("no_proxy", nullptr);
  const test::ScopedEnvironment upperNoProxy("NO_PROXY", nullptr);

  test::ChooseAndCollect(Choice{true, 4, "1"});  // 修真小说

  const demo::Category& category = *site.Find(true, 4);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 1);
  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
  for (const Entry& e : entries) {
    EXPECT_EQ(ReadAll(PF("小说\\完本\\"_gbk + category.name + "\\" + e.title + ".rar")),
              site.Archive(e));
    EXPECT_EQ(ReadAll(Cover(e.title)), site.Cover(e));
  }
  const auto requests = proxy.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].requestLine,
            std::string("GET http://") + hosts::kMain + "/wanben/xiuzhen/tuijian1.html HTTP/1.0");
}

TEST_F(CollectRun, GuardRefusesARunWithoutCategory) {
  ui::SetComboIndex(mw::完本类, -1);
  Click(ui::Handler::MainCollectClicked);
  ui::ProcessPendingEvents();
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, "小说种类还未选择"_gbk);
  EXPECT_EQ(m_messages[0].style, 0);
  EXPECT_TRUE(ui::Visible(mw::窗口));
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Progress));
  // The folder tree is made before the guard.
  EXPECT_TRUE(fs::is_directory(fs::path(m_folder->NativePath()) / "小说" / "完本" / "校园小说"));
}

// --- The awkward cases of the site --------------------------------------
TEST_F(CollectRun, AwkwardCategoryCollectsExactlyWhatTheCutsReach) {
  const Choice c{true, 12, "3"};  // 同人小说
  const demo::Category& category = Category(c);
  ASSERT_TRUE(category.awkward);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 3);
  Run(c);
  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
  for (const Entry& e : entries) {
    ExpectRecorded(c, e);
    EXPECT_EQ(ReadAll(Archive(c, e.title)), Site().Archive(e));
  }
  // The entry without introduction: nothing fetched, nothing written.
  const Entry& quiet = category.pages[0].entries[7];
  ASSERT_TRUE(quiet.introduction.empty());
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(quiet)), 0);
  EXPECT_EQ(FileSize(Archive(c, quiet.title)), -1);
  EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, quiet.title), "");
  // Entries past the 20th of page 2 and past the broken entry of page 3 are never reached.
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(category.pages[1].entries[20])), 0);
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(category.pages[2].entries[11])), 0);
}

TEST_F(CollectRun, UnsafeTitlesArePassedOverAndNothingLeavesTheLibrary) {
  m_options.hostileTitles = true;
  const Choice c{true, 15, "1"};  // 校园小说
  const demo::Category& category = Category(c);
  std::vector<Entry> safe;
  std::vector<Entry> hostile;
  for (const Entry& e : demo::CollectedEntries(category, 1))
    (collect::IsPlainFileName(e.title) ? safe : hostile).push_back(e);
  ASSERT_EQ(hostile.size(), 4u);
  Run(c);

  const int n = static_cast<int>(safe.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
  for (const Entry& e : hostile) {
    EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(e)), 0);
    EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(e)), 0);
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, e.title), "");
  }
  // Exactly the library's own files exist under the program folder.
  std::set<std::string> expected{"小说/ini/小说.ini", LockFileName()};
  for (const Entry& e : safe) {
    const std::string name = NativeName(e.title);
    expected.insert("小说/完本/校园小说/" + name + ".rar");
    expected.insert("小说/jpg/" + name + ".jpg");
    expected.insert("小说/ini/完本/校园小说/" + name + ".ini");
    expected.insert("小说/ini/完本/校园小说/" + name + "简介.ini");
  }
  EXPECT_EQ(FilesUnder(m_folder->NativePath()), expected);
}

// --- Ongoing runs and the overwrite option --------------------------------
class OngoingRun : public CollectRun, public testing::WithParamInterface<bool> {};

TEST_P(OngoingRun, LargeArchiveIsFetchedAgainOnlyWithOverwrite) {
  const bool overwrite = GetParam();
  const Choice c{false, 0, "1", overwrite};  // 玄幻奇幻
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  collect::CreateFolderTree();
  const std::string big(400000, 'z');
  WriteFile(Archive(c, entries[0].title), big);
  Text progress;
  m_atSummary = [&] { progress = ui::Content(ui::progress_win::编辑框1); };
  Run(c);

  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  if (overwrite) {
    EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
    EXPECT_EQ(ReadAll(Archive(c, entries[0].title)), Site().Archive(entries[0]));
  } else {
    EXPECT_EQ(m_messages[0].text, SummaryOf(n, 1, n - 1));
    EXPECT_EQ(ReadAll(Archive(c, entries[0].title)), big);
    EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(entries[0])), 0);
  }
  for (const Entry& e : entries) ExpectRecorded(c, e);
  EXPECT_NE(progress.find("正在采集连载中的玄幻奇幻小说..."_gbk), std::string::npos);
  EXPECT_TRUE(ui::Checked(bw::单选框2));
  EXPECT_FALSE(ui::Checked(bw::单选框1));
  EXPECT_EQ(ui::ComboIndex(bw::连载类), 0);
  EXPECT_EQ(ui::FileBoxFolder(bw::文件框1), PF("小说\\连载中\\玄幻奇幻"_gbk));
}

INSTANTIATE_TEST_SUITE_P(Overwrite, OngoingRun, testing::Bool());

// --- Downloads that fail --------------------------------------------------
enum class Failure { ErrorStatus, CutOff, EmptyOk, NoContent, WebPage, PartialContent };

class FailedRefetch : public CollectRun, public testing::WithParamInterface<Failure> {};

// An ongoing run with overwrite fetches every archive again; no answer that is
// not a whole archive may replace a good one, and each counts as failed.
TEST_P(FailedRefetch, KeepsTheGoodFilesByteForByteAndCountsAsFailed) {
  const Choice c{false, 1, "1", true};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  std::unique_ptr<test::RawServer> raw;
  std::optional<demo::Reply> bad;
  switch (GetParam()) {
    case Failure::ErrorStatus:
      bad = demo::Reply{500, std::string(50000, 'e'), "text/html"};
      break;
    case Failure::EmptyOk:
      bad = demo::Reply{200, "", "application/octet-stream"};
      break;
    case Failure::NoContent:
      bad = demo::Reply{204, "", "application/octet-stream"};
      break;
    case Failure::WebPage:
      bad = demo::Reply{200, "\r\n<HTML>site under maintenance</HTML>"};
      break;
    case Failure::PartialContent:
      bad = demo::Reply{206, std::string(100, 'p'), "image/jpeg"};
      break;
    case Failure::CutOff:
      // Announces 100000 bytes and sends 40000 of them.
      raw = std::make_unique<test::RawServer>(
          test::RawScript()
              .Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")
              .Send(std::string(40000, 'x')));
      Site();
      SetHostMappingForTest(hosts::kDownload, raw->HostPort());
      break;
  }
  if (bad) {
    Site().SetRequestHook([bad](Host host, const std::string&) -> std::optional<demo::Reply> {
      if (host != Host::Download && host != Host::Image) return std::nullopt;
      return bad;
    });
  }
  collect::CreateFolderTree();
  const std::string good(400000, 'g');
  const std::string goodCover(1500, 'c');  // small enough to be fetched again
  WriteFile(Archive(c, entries[0].title), good);
  WriteFile(Cover(entries[0].title), goodCover);
  Text progress;
  m_atSummary = [&] { progress = ui::Content(ui::progress_win::编辑框1); };
  Run(c);

  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, 0, n));
  EXPECT_NE(progress.find("本次成功采集0篇小说，下载失败"_gbk + std::to_string(n) + "篇！  "_gbk),
            std::string::npos);
  EXPECT_EQ(ReadAll(Archive(c, entries[0].title)), good);
  if (bad) {
    EXPECT_EQ(ReadAll(Cover(entries[0].title)), goodCover);
  }
  // A later run fetches the others again: each has its record and no archive,
  // so that the browse window lists only archives that are stored.
  for (std::size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(ExactFileSize(Archive(c, entries[i].title)), -1);
    if (bad) {
      EXPECT_EQ(ExactFileSize(Cover(entries[i].title)), -1);
    }
  }
  for (const Entry& e : entries) ExpectRecorded(c, e);
  ExpectNoTemporaryFiles();
}

INSTANTIATE_TEST_SUITE_P(Kinds, FailedRefetch,
                         testing::Values(Failure::ErrorStatus, Failure::CutOff, Failure::EmptyOk,
                                         Failure::NoContent, Failure::WebPage,
                                         Failure::PartialContent));

TEST_F(CollectRun, TitleTooLongForAFileNameIsNotFetchedAndCountsAsFailed) {
  const Choice c{true, 5, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 1);
  const Entry& named = entries[3];
  // 84 characters: with ".rar" more than the 255 bytes a name may have.
  std::string longTitle;
  for (int i = 0; i < 84; ++i) longTitle += "长"_gbk;
  ListTitleInstead(category, named, longTitle);
  Run(c);

  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n - 1, 1));
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(named)), 0);
  EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, longTitle), "");
  for (const Entry& e : entries)
    if (&e != &named) ExpectRecorded(c, e);
}

// Titles the record or the index cannot hold, and names the file system
// refuses, are failed novels: not fetched, no record, no index line.
struct UnkeptTitle {
  const char* label;
  Text title;
  bool exfat;  // a name only exFAT refuses: runs with the library there
};

class UnkeptTitleRun : public CollectRun, public testing::WithParamInterface<UnkeptTitle> {};

TEST_P(UnkeptTitleRun, CountsAsFailedAndLeavesNothing) {
  const UnkeptTitle& u = GetParam();
  if (u.exfat) {
    const char* folder = std::getenv("LIRVO_EXFAT_FOLDER");
    if (folder == nullptr)
      GTEST_SKIP() << "no exFAT folder: tests/collect/exfat_check.sh gives one";
    SetProgramFolderForTest(Utf8ToGbk(std::string(folder) + "/" + u.label));
    fs::create_directories(std::string(folder) + "/" + u.label);
  }
  const Choice c{true, 5, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 1);
  const Entry& named = entries[2];
  ListTitleInstead(category, named, u.title);
  Run(c);

  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n - 1, 1));
  EXPECT_EQ(Site().RequestCount(Host::Download, ArchivePath(named)), 0);
  EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(named)), 0);
  EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, u.title), "");
  EXPECT_EQ(ReadFile(Index()).find(u.title), std::string::npos);
  EXPECT_EQ(ExactFileSize(RecordFolder(c) + u.title + ".ini"), -1);
  for (const Entry& e : entries)
    if (&e != &named) ExpectRecorded(c, e);
  if (u.exfat) SetProgramFolderForTest(m_folder->Path());
}

INSTANTIATE_TEST_SUITE_P(Titles, UnkeptTitleRun,
                         testing::Values(UnkeptTitle{"EqualsSign", "甲=乙"_gbk, false},
                                         UnkeptTitle{"OpeningBracketFirst", "[甲乙"_gbk, false},
                                         UnkeptTitle{"SemicolonFirst", ";甲乙"_gbk, false},
                                         UnkeptTitle{"QuestionMarkOnExfat", "甲?乙"_gbk, true},
                                         UnkeptTitle{"ColonOnExfat", "甲:乙"_gbk, true}),
                         [](const testing::TestParamInfo<UnkeptTitle>& info) {
                           return std::string(info.param.label);
                         });

// A "]" may stand in an index key: such a title is collected and its index
// line lets the search find it; only its record, whose header it would close,
// is not written.
TEST_F(CollectRun, ClosingBracketTitleIsCollectedAndIndexed) {
  const Choice c{true, 5, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry> entries = demo::CollectedEntries(category, 1);
  const Text title = "甲]乙"_gbk;
  ListTitleInstead(category, entries[2], title);
  Run(c);
  const int n = static_cast<int>(entries.size());
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
  EXPECT_GT(ExactFileSize(Archive(c, title)), 0);
  EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, title), Archive(c, title));
  EXPECT_EQ(ExactFileSize(RecordFolder(c) + title + ".ini"), -1);
}

// Something in the way in the library: named once in the library message,
// and the run stops before it fetches anything.
struct Damage {
  const char* label;
  Text relative;  // under the program folder
  bool file;      // a file in the place of a folder, or the reverse
};

class DamagedLibraryRun : public CollectRun, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedLibraryRun, IsNamedAndNothingIsFetched) {
  const Damage& d = GetParam();
  const std::string place = NativePath(PF(d.relative));
  fs::create_directories(fs::path(place).parent_path());
  if (d.file)
    ASSERT_TRUE(WriteFile(PF(d.relative), "x"));
  else
    fs::create_directories(place);
  Run(Choice{true, 0, "2"});

  // The browse window, opened after the summary, cannot read a folder as the
  // index either and says so.
  ASSERT_EQ(m_messages.size(), d.file ? 2u : 3u);
  if (!d.file) {
    EXPECT_EQ(m_messages[2].text, "小说文件夹已损坏，无法读取小说索引，原因如下：\r\n  位置："_gbk +
                                      Utf8ToGbk(place) +
                                      "\r\n  原因：这里应是文件，却是一个同名的文件夹"_gbk);
  }
  EXPECT_EQ(m_messages[0].text,
            "小说文件夹已损坏，采集已停止，原因如下：\r\n  位置："_gbk + Utf8ToGbk(place) +
                (d.file ? "\r\n  原因：这里应是文件夹，却是一个同名的文件"_gbk
                        : "\r\n  原因：这里应是文件，却是一个同名的文件夹"_gbk));
  EXPECT_EQ(m_messages[0].style, 16);
  EXPECT_EQ(m_messages[1].text, SummaryOf(0, 0, 0));
  for (Host host : {Host::Main, Host::Text, Host::Image, Host::Download})
    EXPECT_TRUE(Site().Requests(host).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Places, DamagedLibraryRun,
    testing::Values(Damage{"CacheIsAFile", "缓存"_gbk, true},
                    Damage{"CoverFolderIsAFile", "小说\\jpg"_gbk, true},
                    Damage{"IndexIsAFolder", "小说\\ini\\小说.ini"_gbk, false}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.label); });

// A folder of the library that the disk will not make is named, and the run
// stops before it fetches anything. Here the folder's path is too long; a FAT
// driver that takes no Chinese names refuses 小说 itself the same way.
TEST_F(CollectRun, FolderTheDiskWillNotMakeIsNamed) {
  // Deep enough that the lock file and the first folders fit in a path, but
  // not the category folders.
  std::string root = m_folder->NativePath();
  while (root.size() + 2 < 4070)
    root += "/" + std::string(std::min<std::size_t>(200, 4069 - root.size() - 1), 'd');
  fs::create_directories(root);
  SetProgramFolderForTest(Utf8ToGbk(root));
  Run(Choice{true, 0, "2"});
  SetProgramFolderForTest(m_folder->Path());
  ASSERT_EQ(m_messages.size(), 2u);
  const Text said = m_messages[0].text;
  const Text named = "小说文件夹无法写入，采集已停止，原因如下：\r\n  文件夹："_gbk +
                     Utf8ToGbk(root) + "/小说/"_gbk;
  const Text reason = "\r\n  原因：路径太长"_gbk;
  EXPECT_EQ(said.substr(0, named.size()), named);
  ASSERT_GT(said.size(), named.size() + reason.size());
  EXPECT_EQ(said.substr(said.size() - reason.size()), reason);
  EXPECT_EQ(m_messages[0].style, 16);
  EXPECT_EQ(m_messages[1].text, SummaryOf(0, 0, 0));
  for (Host host : {Host::Main, Host::Text, Host::Image, Host::Download})
    EXPECT_TRUE(Site().Requests(host).empty());
}

// What killed runs left (temporary files of other processes, and the fixed
// download name of earlier versions) goes before a run writes; a run that dies
// later leaves nothing for the next one to trip on.
TEST_F(CollectRun, StaleTemporaryFilesGo) {
  const Choice c{true, 0, "1"};
  collect::CreateFolderTree();
  const std::vector<Text> stale = {layout::ArchiveFolder(Kind(c)) + "\\.lirvo-1-7.tmp",
                                   layout::CoverFolder() + "\\.lirvo-1-8.tmp",
                                   layout::NovelFolder() + "\\ini\\.lirvo-1-9.tmp",
                                   layout::ArchiveFolder(Kind(c)) + "\\.lirvo-download.tmp"};
  for (const Text& file : stale) ASSERT_TRUE(WriteFile(file, std::string(245000, 't')));
  const Text mine = layout::CoverFolder() + "\\.note.txt";  // not the program's
  ASSERT_TRUE(WriteFile(mine, "n"));
  Run(c);
  ASSERT_EQ(m_messages.size(), 1u);
  for (const Text& file : stale) EXPECT_EQ(ExactFileSize(file), -1) << GbkToUtf8(file);
  EXPECT_EQ(ExactFileSize(mine), 1);
}

// A portable copy on an exFAT stick with a large index: each new title costs
// about its own files, never a rewrite of the index. Bytes written are counted
// by the kernel for this process (write_bytes of /proc/self/io: what it sent
// towards the disk, so the demo site's answers through its sockets are not).
long long BytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string name;
  long long value = 0;
  while (io >> name >> value)
    if (name == "write_bytes:") return value;
  return -1;
}

TEST_F(CollectRun, LargeIndexOnExfatIsNotRewritten) {
  const char* folder = std::getenv("LIRVO_EXFAT_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "no exFAT folder: tests/collect/exfat_check.sh gives one";
  const std::string root = std::string(folder) + "/large";
  fs::create_directories(root + "/小说/ini");
  SetProgramFolderForTest(Utf8ToGbk(root));
  std::string index = "[小说]\r\n"_gbk;
  for (int i = 0; index.size() < (8u << 20); ++i)
    index += "旧书"_gbk + std::to_string(i) + "=" + Utf8ToGbk(root) +
             "\\小说\\完本\\玄幻小说\\旧书"_gbk + std::to_string(i) + ".rar\r\n";
  ASSERT_TRUE(WriteFile(layout::NovelIndexPath(), index));
  const Choice c{true, 0, "1"};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  Site();
  const long long before = BytesWritten();
  Run(c);
  const long long written = BytesWritten() - before;

  ASSERT_EQ(m_messages.size(), 1u);
  const int n = static_cast<int>(entries.size());
  EXPECT_EQ(m_messages[0].text, SummaryOf(n, 0, n));
  // What the run stored: every new file, and what the index grew by.
  long long stored =
      static_cast<long long>(fs::file_size(NativePath(layout::NovelIndexPath())) - index.size());
  for (const std::string& file : FilesUnder(root))
    if (file != "小说/ini/小说.ini")
      stored += static_cast<long long>(fs::file_size(root + "/" + file));
  EXPECT_LE(written, 2 * stored) << "stored " << stored;
  EXPECT_LT(2 * stored, static_cast<long long>(index.size()));
  EXPECT_EQ(ReadFile(layout::NovelIndexPath()).substr(0, index.size()), index);
  for (const Entry& e : entries) ExpectRecorded(c, e);
  SetProgramFolderForTest(m_folder->Path());
}

// exFAT refuses "?" in a name while it takes a plain one beside it: that is
// told apart from a disk that takes nothing.
TEST(LibraryCheckOnExfat, RefusedFolderNameIsToldApart) {
  const char* stick = std::getenv("LIRVO_EXFAT_FOLDER");
  if (stick == nullptr) GTEST_SKIP() << "no exFAT folder: tests/collect/exfat_check.sh gives one";
  const std::string folder = std::string(stick) + "/names";
  fs::create_directories(folder);
  EXPECT_EQ(FolderError(Utf8ToGbk(folder + "/甲?乙")), EILSEQ);
  EXPECT_EQ(FolderError(Utf8ToGbk(folder + "/甲乙")), 0);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"甲乙"}) << "made, and the plain name tried is gone";
}

// --- What the user is told ------------------------------------------------
TEST_F(CollectRun, SiteOutOfReachIsNamedOnceThenTheRunEndsEmpty) {
  const test::RefusingPort refusing;
  Site();
  SetHostMappingForTest(hosts::kMain, refusing.HostPort());
  Run(Choice{true, 0, "3"});
  ASSERT_EQ(m_messages.size(), 2u);
  EXPECT_EQ(m_messages[0].text, "小说网站连接失败，原因如下：\r\n  网站："_gbk + hosts::kMain +
                                    "\r\n  原因：网站拒绝连接"_gbk);
  EXPECT_EQ(m_messages[0].style, 48);
  EXPECT_EQ(m_messages[1].text, SummaryOf(0, 0, 0));

  // A site that answers page 1 with an error page is named the same way.
  StartProcess();
  Site().SetRequestHook([](Host host, const std::string&) -> std::optional<demo::Reply> {
    if (host != Host::Main) return std::nullopt;
    return demo::Reply{404, "<html>Not Found</html>", "text/html"};
  });
  SetHostMappingForTest(hosts::kMain, Site().HostPort(Host::Main));
  Run(Choice{true, 0, "3"});
  ASSERT_EQ(m_messages.size(), 2u);
  EXPECT_EQ(m_messages[0].text, "小说网站连接失败，原因如下：\r\n  网站："_gbk + hosts::kMain +
                                    "\r\n  原因：网站返回错误代码404"_gbk);
  EXPECT_EQ(m_messages[1].text, SummaryOf(0, 0, 0));
}

// --- A library that cannot be written -------------------------------------
// A tmpfs mounted inside the test's folder; CI runs as root, elsewhere the
// tests that need one are skipped.
struct SmallFileSystem {
  SmallFileSystem(const std::string& parent, unsigned long flags, const char* options)
      : folder(parent + "/small") {
    fs::create_directories(folder);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", flags, options) == 0) {
      mounted = true;
      SetProgramFolderForTest(Utf8ToGbk(folder));
    } else {
      why = std::strerror(errno);
    }
  }
  ~SmallFileSystem() {
    if (mounted) ::umount2(folder.c_str(), MNT_DETACH);
  }
  std::string folder;
  bool mounted = false;
  std::string why;
};

TEST_F(CollectRun, ReadOnlyLibraryIsNamedAndNothingIsFetched) {
  Site();
  {
    const SmallFileSystem small(m_folder->NativePath(), MS_RDONLY, "size=1m");
    if (!small.mounted) GTEST_SKIP() << "no tmpfs can be mounted here: " << small.why;
    Run(Choice{true, 0, "3"});
    SetProgramFolderForTest(m_folder->Path());
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[0].text, "小说文件夹无法写入，采集已停止，原因如下：\r\n  文件夹："_gbk +
                                      Utf8ToGbk(small.folder) + "\r\n  原因：磁盘是只读的"_gbk);
    EXPECT_EQ(m_messages[0].style, 16);
    EXPECT_EQ(m_messages[1].text, SummaryOf(0, 0, 0));
  }
  for (Host host : {Host::Main, Host::Text, Host::Image, Host::Download})
    EXPECT_TRUE(Site().Requests(host).empty());
}

// A disk that cannot lock (a network share without a lock daemon) would let
// a second copy write the same index: the run is refused, not run unlocked.
TEST_F(CollectRun, DiskWithoutLocksRefusesTheRun) {
  collect::SetLockErrorForTest(ENOLCK);
  Run(Choice{true, 0, "3"});
  collect::SetLockErrorForTest(0);
  ASSERT_EQ(m_messages.size(), 1u);
  EXPECT_EQ(
      m_messages[0].text,
      "这个文件夹所在的磁盘不能加文件锁（例如没有锁服务的网络磁盘），无法安全采集，请把Lirvo放到本机磁盘上再试！\r\n  文件夹："_gbk +
          m_folder->Path());
  EXPECT_TRUE(ui::Visible(ui::main_win::窗口));
  for (Host host : {Host::Main, Host::Text, Host::Image, Host::Download})
    EXPECT_TRUE(Site().Requests(host).empty());
}

TEST_F(CollectRun, FullDiskStopsTheRunWithHonestCountsAndWholeFiles) {
  const Choice c{true, 0, "5"};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 5);
  const SmallFileSystem small(m_folder->NativePath(), 0, "size=3m");
  if (!small.mounted) GTEST_SKIP() << "no tmpfs can be mounted here: " << small.why;
  Run(c);
  SetProgramFolderForTest(m_folder->Path());

  // Every archive on disk is whole; the summary counts exactly those as new.
  const fs::path archives = fs::path(small.folder) / "小说" / "完本" / "玄幻小说";
  int whole = 0;
  for (const Entry& e : entries) {
    const fs::path file = archives / (NativeName(e.title) + ".rar");
    if (!fs::exists(file)) continue;
    SCOPED_TRACE(GbkToUtf8(e.title));
    EXPECT_EQ(ReadFile(Utf8ToGbk(file.string())), Site().Archive(e));
    ++whole;
  }
  EXPECT_GT(whole, 0);
  EXPECT_LT(whole, 60);
  ASSERT_EQ(m_messages.size(), 2u);
  EXPECT_EQ(m_messages[0].style, 16);
  EXPECT_EQ(m_messages[0].text.rfind("小说文件夹无法写入，采集已停止"_gbk, 0), 0u);
  EXPECT_NE(m_messages[0].text.find("磁盘空间已满"_gbk), std::string::npos);
  // The novel being stored when the disk filled counts as failed, unless only
  // its records were refused; after it, only what was fetched ahead.
  const bool oneFailed = m_messages[1].text == SummaryOf(whole + 1, 0, whole, 1);
  EXPECT_TRUE(oneFailed || m_messages[1].text == SummaryOf(whole, 0, whole))
      << GbkToUtf8(m_messages[1].text);
  EXPECT_LE(Site().Requests(Host::Download).size(),
            static_cast<std::size_t>(whole + oneFailed + collect::kLookaheadEntries));
  // An index line names only a whole archive.
  const Text index = Utf8ToGbk(small.folder) + "\\小说\\ini\\小说.ini"_gbk;
  for (const Entry& e : entries) {
    const Text line = ReadProfile(index, "小说"_gbk, e.title);
    if (line.empty()) continue;
    EXPECT_EQ(ReadFile(line), Site().Archive(e)) << GbkToUtf8(e.title);
  }
  for (const std::string& file : FilesUnder(small.folder)) {
    if (file == LockFileName()) continue;
    EXPECT_EQ(fs::path(file).filename().string().rfind('.', 0), std::string::npos) << file;
  }
}

TEST_F(CollectRun, CoverRetriesAreBounded) {
  const Choice c{true, 4, "1"};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  Site().SetRequestHook([](Host host, const std::string&) -> std::optional<demo::Reply> {
    if (host != Host::Image) return std::nullopt;
    return demo::Reply{200, std::string(100, 'p'), "image/jpeg"};
  });
  Run(c);
  ASSERT_EQ(m_messages.size(), 1u);
  for (const Entry& e : entries) {
    EXPECT_EQ(Site().RequestCount(Host::Image, CoverPath(e)), 3);
    EXPECT_EQ(FileSize(Cover(e.title)), 100);
    EXPECT_EQ(ReadAll(Archive(c, e.title)), Site().Archive(e));
  }
}

// --- Cancel ends the program ----------------------------------------------
TEST_F(CollectRun, CancelRemovesTheCacheAndEndsWithCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child process gets its own fixture; both sides agree on this folder.
  const auto folderOf = [](pid_t parent) {
    return (fs::temp_directory_path() / ("lirvo-cancel-" + std::to_string(parent))).string();
  };
  const std::string shared = folderOf(getpid());
  fs::remove_all(shared);
  EXPECT_EXIT(
      {
        const std::string mine = folderOf(getppid());
        fs::create_directories(mine);
        SetProgramFolderForTest(mine);
        m_answer = 1;
        Run(Choice{true, 0, "1"});
        std::_Exit(3);  // not reached: Cancel ends the program
      },
      testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists(fs::path(shared) / "缓存"));
  std::size_t archives = 0;
  if (fs::exists(fs::path(shared) / "小说" / "完本" / "玄幻小说"))
    for (const auto& item : fs::directory_iterator(fs::path(shared) / "小说" / "完本" / "玄幻小说"))
      archives += item.path().extension() == ".rar";
  EXPECT_EQ(archives, 20u);
  fs::remove_all(shared);
}

}  // namespace
}  // namespace lirvo
