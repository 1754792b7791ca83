// Runs whose downloads overlap, runs the user stops, and sites whose listing
// pages or hosts fail: the outputs of a run that fetches one thing at a time,
// and each failure told once.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "collect/collect_steps.h"
#include "collect/folder_tree.h"
#include "collect/lookahead.h"
#include "collect/records.h"
#include "collect/run_stop.h"
#include "demo_site.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/http_scheduler.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "support/raw_server.h"
#include "support/temp_folder.h"

namespace lirvo::test {
namespace {

using namespace lirvo::literals;
namespace fs = std::filesystem;
using demo::Entry;
using demo::Host;

std::vector<Text> g_progress;
void RecordProgress(const Text& progress) {
  g_progress.push_back(progress);
}

Text SummaryOf(int total, int existing, int fresh, int failed = 0) {
  return "采集完成，共采集"_gbk + std::to_string(total) + "篇小说，其中已存在"_gbk +
         std::to_string(existing) + "篇小说，本次成功采集"_gbk + std::to_string(fresh) +
         "篇小说"_gbk + (failed > 0 ? "，下载失败"_gbk + std::to_string(failed) + "篇"_gbk : "") +
         "！是否查看文件？"_gbk;
}

// Everything a run leaves for the user to see.
struct Outputs {
  std::map<std::string, Bytes> files;  // under the program folder, when the summary is asked
  std::vector<Text> progress;          // every progress text, in order
  std::vector<Text> messages;          // every message box, the summary last
  std::map<Host, std::vector<std::string>> requests;  // per host, sorted
};

class OverlapRun : public ::testing::Test {
 protected:
  void SetUp() override {
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    m_site = std::make_unique<demo::DemoSite>(options);
    ASSERT_TRUE(m_site->Start());
    m_site->MapHostsForTest();
    collect::WatchProgressForTest(RecordProgress);
  }

  void TearDown() override {
    StopProgram();
    SetHttpWaitHook(nullptr);
    collect::WatchProgressForTest(nullptr);
    collect::SetLookaheadForTest(collect::kLookaheadEntries);
    SetHttpLimitsForTest(HttpLimits{});
    ClearHostMappingsForTest();
    m_site.reset();
  }

  const demo::Category& Category(const RunChoice& c) const {
    return *m_site->Find(c.completed, c.category);
  }

  // One program run in a fresh program folder; `prepare` lays out the library
  // before the click. Paths inside files name the folder as "PF".
  Outputs Collect(const RunChoice& c, int lookahead,
                  const std::function<void()>& prepare = nullptr) {
    const TempFolder folder;
    Outputs out;
    g_progress.clear();
    m_site->ClearRequests();
    collect::SetLookaheadForTest(lookahead);
    const auto snapshot = [&] {
      for (const std::string& file : FilesUnder(folder.NativePath())) {
        Bytes bytes = ReadFile(Utf8ToGbk(folder.NativePath() + "/" + file));
        for (std::size_t at; (at = bytes.find(folder.Path())) != std::string::npos;)
          bytes.replace(at, folder.Path().size(), "PF");
        out.files[file] = bytes;
      }
    };
    EXPECT_TRUE(StartProgram([&](const Text& message, int style) {
      out.messages.push_back(message);
      if (message.rfind("采集完成"_gbk, 0) == 0) {
        snapshot();
      } else {
        EXPECT_EQ(style, 48) << GbkToUtf8(message);
      }
      return 0;
    }));
    collect::CreateFolderTree();
    if (prepare) prepare();
    ChooseAndCollect(c);
    out.progress = g_progress;
    for (Host host : {Host::Main, Host::Text, Host::Image, Host::Download}) {
      out.requests[host] = m_site->Requests(host);
      std::sort(out.requests[host].begin(), out.requests[host].end());
    }
    StopProgram();
    return out;
  }

  static void ExpectNoTemporaryFiles(const Outputs& out) {
    for (const auto& [file, bytes] : out.files) {
      EXPECT_FALSE(IsTemporaryFileName(Utf8ToGbk(fs::path(file).filename().string()))) << file;
    }
  }

  std::unique_ptr<demo::DemoSite> m_site;
};

// --- Overlap changes nothing the user sees --------------------------------
// Far more ahead than by default, across page ends, and every title of page 1
// comes again on page 2 while its first entry may still be on its way.
TEST_F(OverlapRun, GivesTheOutputsOfARunThatFetchesOneThingAtATime) {
  const RunChoice c{true, 12, "3"};  // 同人小说, with the site's awkward entries
  const demo::Category& category = Category(c);
  const std::string pageTwo = category.listingPath + "2.html";
  const Text pageOne = m_site->ListingPage(category, 1);
  m_site->SetRequestHook([=](Host host, const std::string& path) -> std::optional<demo::Reply> {
    if (host != Host::Main || path != pageTwo) return std::nullopt;
    return demo::Reply{200, pageOne, "text/html"};
  });
  // The thresholds at their edges: present, fetched again, kept, fetched again.
  const std::vector<Entry> e = demo::CollectedEntries(category, 1);
  const Text kind = layout::CategoryPath(true, category.name);
  const auto prepare = [&] {
    WriteFile(layout::ArchivePath(kind, e[0].title), std::string(30001, 'b'));
    WriteFile(layout::ArchivePath(kind, e[1].title), std::string(30000, 'a'));
    WriteFile(layout::CoverPath(e[2].title), std::string(2001, 'c'));
    WriteFile(layout::CoverPath(e[3].title), std::string(100, 'd'));
  };

  const Outputs one = Collect(c, 0, prepare);
  const Outputs overlapped = Collect(c, 25, prepare);

  ASSERT_EQ(one.messages.size(), 1u);
  EXPECT_EQ(overlapped.messages, one.messages);
  EXPECT_EQ(overlapped.progress, one.progress);
  EXPECT_EQ(overlapped.requests, one.requests);
  EXPECT_TRUE(overlapped.files == one.files);
  ExpectNoTemporaryFiles(overlapped);
}

// --- Listing pages that fail ----------------------------------------------
struct ListingCase {
  const char* name;
  int failures;  // answers of 500 to page 2 before it is served
  int collected;
};
class FailingListingPage : public OverlapRun, public ::testing::WithParamInterface<ListingCase> {};

// The page that fails once needs the scheduler's retries.
TEST_P(FailingListingPage, IsNeverTakenForTheEndOfTheCategory) {
  const RunChoice c{true, 0, "3"};
  const demo::Category& category = Category(c);
  const std::string pageTwo = category.listingPath + "2.html";
  auto failures = std::make_shared<int>(GetParam().failures);
  m_site->SetRequestHook([=](Host host, const std::string& path) -> std::optional<demo::Reply> {
    if (host != Host::Main || path != pageTwo || *failures == 0) return std::nullopt;
    --*failures;
    return demo::Reply{500, "<html>busy</html>", "text/html"};
  });

  const Outputs out = Collect(c, collect::kLookaheadEntries);

  const int n = GetParam().collected;
  std::vector<Text> expected = {SummaryOf(n, 0, n)};
  if (n < 60) {
    expected.insert(expected.begin(),
                    "小说列表第2页下载失败，本次只采集前1页，原因如下：\r\n  网址：http://"_gbk +
                        hosts::kMain + pageTwo + "\r\n  原因：网站返回错误代码500"_gbk);
    EXPECT_EQ(out.files.count("缓存/" + NativeName(category.name) + "/2.html"), 0u);
    EXPECT_EQ(std::count(out.requests.at(Host::Main).begin(), out.requests.at(Host::Main).end(),
                         category.listingPath + "3.html"),
              0);
  }
  EXPECT_EQ(out.messages, expected);
}

INSTANTIATE_TEST_SUITE_P(Pages, FailingListingPage,
                         ::testing::Values(ListingCase{"Once", 1, 60},
                                           ListingCase{"ForGood", 1000, 20}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- The user stops the run -----------------------------------------------
std::mutex g_mutex;
std::condition_variable g_changed;
bool g_stalled = false;

// A user who asks to stop while an archive stalls: the wait under way once
// the stalled answer has begun takes the stop, as the progress window's close
// box would.
void StopOnceStalled(const HttpTicket& ticket) {
  ticket.OnDone([] {
    const std::lock_guard lock(g_mutex);
    g_changed.notify_all();
  });
  std::unique_lock lock(g_mutex);
  g_changed.wait(lock, [&] { return g_stalled || ticket.Done(); });
  if (g_stalled && !collect::RunStopRequested()) collect::RequestRunStop();
  lock.unlock();
  ticket.BlockUntilDone();
}

// Needs the scheduler's cancel to end the stall at once; the plain fetch
// waits for the stall bound.
TEST_F(OverlapRun, StopDuringAStalledArchiveLeavesHonestCountsAndNoTemporaryFile) {
  HttpLimits limits;
  limits.stallSeconds = 2;
  SetHttpLimitsForTest(limits);
  const RunChoice c{true, 0, "1"};
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  const std::string stalledPath = "/down/2011/" + entries[2].serial + ".rar";
  demo::DemoSite* site = m_site.get();
  RawServer server([site, stalledPath](const RawRequest& request) {
    if (request.target != stalledPath) {
      return RawScript().Send(HttpResponse(200, site->Answer(Host::Download, request.target).body));
    }
    {
      const std::lock_guard lock(g_mutex);
      g_stalled = true;
    }
    g_changed.notify_all();
    return RawScript().Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n").Stall();
  });
  SetHostMappingForTest(hosts::kDownload, server.HostPort());
  g_stalled = false;
  SetHttpWaitHook(StopOnceStalled);

  const Outputs out = Collect(c, collect::kLookaheadEntries);

  // Only whole archives count; the entry cut off has no archive and no
  // record, and nothing after it was recorded.
  int whole = 0;
  for (const Entry& e : entries) {
    const auto archive = out.files.find("小说/完本/" + NativeName(Category(c).name) + "/" +
                                        NativeName(e.title) + ".rar");
    if (archive == out.files.end()) continue;
    EXPECT_EQ(archive->second, m_site->Archive(e)) << GbkToUtf8(e.title);
    ++whole;
  }
  EXPECT_LT(whole, 3);
  EXPECT_EQ(out.messages, std::vector<Text>{SummaryOf(whole, 0, whole)});
  EXPECT_EQ(out.progress.size(), static_cast<std::size_t>(whole));
  ExpectNoTemporaryFiles(out);
}

// --- A host given up ------------------------------------------------------
// Needs the scheduler, which gives the host up.
TEST_F(OverlapRun, DeadDownloadHostIsNamedOnceAndEveryArchiveFails) {
  const RefusingPort refusing;
  SetHostMappingForTest(hosts::kDownload, refusing.HostPort());
  const RunChoice c{true, 0, "1"};
  const int n = static_cast<int>(demo::CollectedEntries(Category(c), 1).size());

  const Outputs out = Collect(c, collect::kLookaheadEntries);

  EXPECT_EQ(out.messages, (std::vector<Text>{"小说网站连接失败，原因如下：\r\n  网站："_gbk +
                                                 hosts::kDownload + "\r\n  原因：网站拒绝连接"_gbk,
                                             SummaryOf(n, 0, 0, n)}));
  ExpectNoTemporaryFiles(out);
}

}  // namespace
}  // namespace lirvo::test
