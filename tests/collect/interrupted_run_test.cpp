// A collection run killed at random points (SIGKILL, no clean-up of any kind)
// must leave a library that is whole: profile files parsable, every archive
// and cover either absent, its old content or the complete new one. A run
// that is let finish afterwards must leave the library a clean run leaves.
//
// Each run is a forked child that starts its own demo site: server threads
// must not exist in the parent at the fork.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "collect/collect_steps.h"
#include "collect/stop_signals.h"
#include "demo_site.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/native_path.h"
#include "services/profile.h"
#include "support/raw_server.h"
#include "support/temp_folder.h"

namespace lirvo::test {
namespace {

using namespace lirvo::literals;
namespace fs = std::filesystem;
using demo::Entry;
using Clock = std::chrono::steady_clock;

const RunChoice kChoice{true, 0, "3"};  // 玄幻小说, 60 novels
constexpr int kKills = 6;
constexpr int kSummaryShown = 0;
constexpr int kNoSummary = 5;
constexpr int kNoSite = 9;
constexpr int kNoWindow = 10;
constexpr int kRefused = 11;
constexpr int kNotStopped = 12;

// The whole program run in a child process; never returns.
// With archiveDelay, each archive answer waits that long (a slow site).
[[noreturn]] void CollectInChild(const std::string& folder,
                                 std::chrono::milliseconds archiveDelay = {}) {
  demo::SiteOptions options;
  for (int& port : options.ports) port = 0;
  demo::DemoSite site(options);
  if (!site.Start()) std::_Exit(kNoSite);
  site.MapHostsForTest();
  if (archiveDelay.count() > 0) {
    site.SetRequestHook([archiveDelay](demo::Host host, const std::string&) {
      if (host == demo::Host::Download) std::this_thread::sleep_for(archiveDelay);
      return std::optional<demo::Reply>();
    });
  }
  SetProgramFolderForTest(Utf8ToGbk(folder));
  bool summary = false;
  const Text summaryStart = "采集完成"_gbk;
  if (!StartProgram([&](const Text& message, int) {
        summary = summary || message.rfind(summaryStart, 0) == 0;
        return 0;
      }))
    std::_Exit(kNoWindow);
  ChooseAndCollect(kChoice);
  std::_Exit(summary ? kSummaryShown : kNoSummary);
}

// A second copy started on the same library while another runs: it must be
// refused before it fetches anything, and closing it must leave the other
// run's cache alone. Ends with kRefused when all of that held.
[[noreturn]] void SecondCopyInChild(const std::string& folder) {
  demo::SiteOptions options;
  for (int& port : options.ports) port = 0;
  demo::DemoSite site(options);
  if (!site.Start()) std::_Exit(kNoSite);
  site.MapHostsForTest();
  SetProgramFolderForTest(Utf8ToGbk(folder));
  const Text busy =
      "另一个Lirvo正在向这个文件夹采集小说，请等它采集完成后再试！\r\n  文件夹："_gbk +
      Utf8ToGbk(folder);
  std::vector<Text> messages;
  if (!StartProgram([&](const Text& message, int) {
        messages.push_back(message);
        return 0;
      }))
    std::_Exit(kNoWindow);
  ChooseAndCollect(kChoice);
  const bool refused = messages == std::vector<Text>{busy} && ui::Visible(ui::main_win::窗口) &&
                       site.Requests(demo::Host::Main).empty();
  ui::CloseWindow(ui::Window::Main);  // its destroy handler deletes a cache not in use
  ui::ProcessPendingEvents();
  std::_Exit(refused && !ui::IsLoaded(ui::Window::Main) ? kRefused : kNoSummary);
}

// A run whose archive host sends a little and then nothing; `asked` is
// created when the first archive is requested. Only a stop signal ends it.
[[noreturn]] void StalledRunInChild(const std::string& folder, const std::string& asked) {
  demo::SiteOptions options;
  for (int& port : options.ports) port = 0;
  demo::DemoSite site(options);
  if (!site.Start()) std::_Exit(kNoSite);
  site.MapHostsForTest();
  RawServer stalled([asked](const RawRequest&) {
    std::fclose(std::fopen(asked.c_str(), "w"));
    return RawScript()
        .Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")
        .Send(std::string(30000, 'x'))
        .Stall();
  });
  SetHostMappingForTest(hosts::kDownload, stalled.HostPort());
  SetProgramFolderForTest(Utf8ToGbk(folder));
  if (!StartProgram([](const Text&, int) { return 0; })) std::_Exit(kNoWindow);
  collect::InstallStopSignals();
  ChooseAndCollect(kChoice);
  std::_Exit(kNotStopped);
}

struct Outcome {
  bool killed = false;  // the signal ended it, not the run
  int exitCode = -1;
};

// Runs a collection in a child and kills it after `killAfter` (never when
// the delay is negative).
Outcome RunChild(const std::string& folder, std::chrono::milliseconds killAfter) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) CollectInChild(folder);
  Outcome outcome;
  if (child < 0) return outcome;
  if (killAfter.count() >= 0) {
    std::this_thread::sleep_for(killAfter);
    ::kill(child, SIGKILL);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  return outcome;
}

// A whole profile as written (see test::WellFormedProfile), never empty.
::testing::AssertionResult WellFormedProfile(const fs::path& file) {
  const Bytes bytes = ReadFile(Utf8ToGbk(file.string()));
  if (bytes.empty()) return ::testing::AssertionFailure() << file << " is empty";
  return test::WellFormedProfile(bytes) << " (" << file << ")";
}

// Temporary files a killed run may leave: the download's and a profile
// replacement's. They are never library content.
bool IsLeftoverTemporary(const std::string& name) {
  return IsTemporaryFileName(name);
}

class InterruptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    m_category = m_site.Find(kChoice.completed, kChoice.category);
    ASSERT_NE(m_category, nullptr);
    m_entries = demo::CollectedEntries(*m_category, 3);
    ASSERT_EQ(m_entries.size(), 60u);
    for (const Entry& e : m_entries) m_byName[NativeName(e.title)] = &e;
    m_clean = fs::path(m_root.NativePath()) / "clean";
    m_library = fs::path(m_root.NativePath()) / "killed";
    fs::create_directories(m_clean);
    fs::create_directories(m_library);
  }

  fs::path Archives(const fs::path& folder) const {
    return folder / "小说" / "完本" / NativeName(m_category->name);
  }
  fs::path Records(const fs::path& folder) const {
    return folder / "小说" / "ini" / "完本" / NativeName(m_category->name);
  }
  fs::path Covers(const fs::path& folder) const { return folder / "小说" / "jpg"; }
  fs::path Index(const fs::path& folder) const { return folder / "小说" / "ini" / "小说.ini"; }
  Text ArchiveText(const fs::path& folder, const Entry& e) const {
    return Utf8ToGbk(folder.string()) + "\\小说\\完本\\"_gbk + m_category->name + "\\" + e.title +
           ".rar";
  }
  static Text GbkPath(const fs::path& path) { return Utf8ToGbk(path.string()); }

  // Library content from before the runs, each kind of file once; a run
  // replaces all of it.
  void SeedOldContent() {
    fs::create_directories(Archives(m_library));
    fs::create_directories(Covers(m_library));
    fs::create_directories(Records(m_library));
    for (int i : {0, 25, 50})  // small enough to be fetched again
      WriteFile(GbkPath(Archives(m_library) / (NativeName(m_entries[i].title) + ".rar")),
                m_oldArchive);
    for (int i : {1, 26})
      WriteFile(GbkPath(Covers(m_library) / (NativeName(m_entries[i].title) + ".jpg")), m_oldCover);
    for (int i : {2, 27})
      WriteProfile(GbkPath(Index(m_library)), "小说"_gbk, m_entries[i].title, m_old);
    WriteProfile(GbkPath(Records(m_library) / (NativeName(m_entries[3].title) + ".ini")),
                 m_entries[3].title, "作者"_gbk, m_old);
    WriteFile(GbkPath(Records(m_library) / (NativeName(m_entries[4].title) + "简介.ini")), m_old);
  }

  const Entry* EntryNamed(const std::string& name, const std::string& suffix) const {
    if (name.size() <= suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      return nullptr;
    auto it = m_byName.find(name.substr(0, name.size() - suffix.size()));
    return it == m_byName.end() ? nullptr : it->second;
  }

  // What a killed run may leave behind.
  void ExpectWholeLibrary(const fs::path& folder) {
    for (const std::string& file : FilesUnder(Archives(folder))) {
      SCOPED_TRACE(file);
      if (IsLeftoverTemporary(file)) continue;
      const Entry* e = EntryNamed(file, ".rar");
      ASSERT_NE(e, nullptr) << "not an archive of the site";
      const Bytes bytes = ReadFile(GbkPath(Archives(folder) / file));
      EXPECT_TRUE(bytes == m_site.Archive(*e) || bytes == m_oldArchive)
          << "archive of " << bytes.size() << " bytes";
    }
    for (const std::string& file : FilesUnder(Covers(folder))) {
      SCOPED_TRACE(file);
      if (IsLeftoverTemporary(file)) continue;
      const Entry* e = EntryNamed(file, ".jpg");
      ASSERT_NE(e, nullptr) << "not a cover of the site";
      const Bytes bytes = ReadFile(GbkPath(Covers(folder) / file));
      EXPECT_TRUE(bytes == m_site.Cover(*e) || bytes == m_oldCover)
          << "cover of " << bytes.size() << " bytes";
    }
    for (const std::string& file : FilesUnder(Records(folder))) {
      SCOPED_TRACE(file);
      if (IsLeftoverTemporary(file)) continue;
      const fs::path path = Records(folder) / file;
      if (const Entry* e = EntryNamed(file, "简介.ini")) {
        // The introduction is replaced whole: the old one or the new one.
        const Bytes bytes = ReadFile(GbkPath(path));
        EXPECT_TRUE(bytes == e->introduction || bytes == m_old);
      } else if (const Entry* r = EntryNamed(file, ".ini")) {
        EXPECT_TRUE(WellFormedProfile(path));
        const Text author = ReadProfile(GbkPath(path), r->title, "作者"_gbk);
        EXPECT_TRUE(author == r->author || author == m_old);
      } else {
        ADD_FAILURE() << "not a record of the site";
      }
    }
    if (fs::exists(Index(folder))) {
      EXPECT_TRUE(WellFormedProfile(Index(folder)));
      for (const Entry& e : m_entries) {
        SCOPED_TRACE(GbkToUtf8(e.title));
        const Text line = ReadProfile(GbkPath(Index(folder)), "小说"_gbk, e.title);
        if (line.empty() || line == m_old) continue;
        ASSERT_EQ(line, ArchiveText(folder, e));
        // The index names an archive only once it is complete.
        EXPECT_EQ(ReadFile(line), m_site.Archive(e));
      }
    }
    for (const std::string& file : FilesUnder(folder / "小说" / "ini")) {
      if (file == "小说.ini" || IsLeftoverTemporary(fs::path(file).filename().string())) continue;
      EXPECT_EQ(file.rfind("完本/" + NativeName(m_category->name) + "/", 0), 0u) << file;
    }
  }

  // Lines of the index with the program folder taken out, in any order: a
  // killed run may have added them in another order than a clean one.
  std::multiset<std::string> IndexLines(const fs::path& folder) const {
    const std::string root = folder.string();
    std::multiset<std::string> lines;
    std::istringstream in(ReadFile(GbkPath(Index(folder))));
    for (std::string line; std::getline(in, line);) {
      for (std::size_t at = line.find(root); at != std::string::npos; at = line.find(root))
        line.replace(at, root.size(), "<folder>");
      lines.insert(line);
    }
    return lines;
  }

  void ExpectSameLibrary() {
    std::set<std::string> clean = FilesUnder(m_clean / "小说");
    std::set<std::string> killed;
    for (const std::string& file : FilesUnder(m_library / "小说"))
      if (!IsLeftoverTemporary(fs::path(file).filename().string())) killed.insert(file);
    ASSERT_EQ(killed, clean);
    for (const std::string& file : clean) {
      if (file == "ini/小说.ini") continue;
      EXPECT_TRUE(ReadFile(GbkPath(m_clean / "小说" / file)) ==
                  ReadFile(GbkPath(m_library / "小说" / file)))
          << file;
    }
    EXPECT_EQ(IndexLines(m_library), IndexLines(m_clean));
  }

  demo::DemoSite m_site{[] {
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    return options;
  }()};  // never started: only asked what it serves
  const demo::Category* m_category = nullptr;
  std::vector<Entry> m_entries;
  std::map<std::string, const Entry*> m_byName;
  TempFolder m_root;
  fs::path m_clean;
  fs::path m_library;
  const Bytes m_oldArchive = Bytes(20000, 'o');
  const Bytes m_oldCover = Bytes(1500, 'c');
  const Text m_old = "旧的"_gbk;
};

TEST_F(InterruptedRun, KilledRunsLeaveAWholeLibraryAndALaterRunCompletesIt) {
  const Clock::time_point start = Clock::now();
  const Outcome clean = RunChild(m_clean.string(), std::chrono::milliseconds(-1));
  const auto runTime = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  ASSERT_FALSE(clean.killed);
  ASSERT_EQ(clean.exitCode, kSummaryShown);
  ExpectWholeLibrary(m_clean);
  ASSERT_EQ(FilesUnder(Archives(m_clean)).size(), m_entries.size());

  SeedOldContent();
  ExpectWholeLibrary(m_library);
  // Each kill lands somewhere in the first half of a run; a later run skips
  // what is already complete, so the kills move on through the category.
  std::mt19937 random(20110);
  std::uniform_int_distribution<long> delay(0, std::max<long>(1, runTime.count() / 2));
  int interrupted = 0;
  for (int kill = 0; kill < kKills; ++kill) {
    const std::chrono::milliseconds after(delay(random));
    SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(after.count()) +
                 " ms");
    const Outcome outcome = RunChild(m_library.string(), after);
    ASSERT_TRUE(outcome.killed || outcome.exitCode == kSummaryShown) << outcome.exitCode;
    interrupted += outcome.killed;
    ExpectWholeLibrary(m_library);
    if (HasFatalFailure()) return;
  }
  // The first kill lands in the first half of a whole run; later runs have less
  // left to do and may end before their kill, however the machine is loaded.
  EXPECT_GE(interrupted, 1);

  const Outcome last = RunChild(m_library.string(), std::chrono::milliseconds(-1));
  ASSERT_FALSE(last.killed);
  ASSERT_EQ(last.exitCode, kSummaryShown);
  ExpectWholeLibrary(m_library);
  ExpectSameLibrary();
}

// Starts fn in a child process and gives its pid.
template <typename Fn>
pid_t Spawn(Fn fn) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) fn();
  return child;
}

int WaitFor(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool AppearsWithin(const fs::path& file, std::chrono::seconds bound) {
  for (const Clock::time_point end = Clock::now() + bound; Clock::now() < end;) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST_F(InterruptedRun, SecondCopyOnTheSameLibraryIsRefusedAndTheFirstRunsWhole) {
  const pid_t first =
      Spawn([&] { CollectInChild(m_library.string(), std::chrono::milliseconds(50)); });
  ASSERT_GT(first, 0);
  // Once its first listing page is cached, the first copy holds the library.
  const bool fetching = AppearsWithin(m_library / "缓存" / NativeName(m_category->name) / "1.html",
                                      std::chrono::seconds(20));
  const pid_t second = fetching ? Spawn([&] { SecondCopyInChild(m_library.string()); }) : -1;
  const int secondCode = second > 0 ? WaitFor(second) : -1;
  const bool firstStillRunning = ::waitpid(first, nullptr, WNOHANG) == 0;
  ASSERT_EQ(WaitFor(first), kSummaryShown);
  ASSERT_TRUE(fetching);
  EXPECT_EQ(secondCode, kRefused);
  EXPECT_TRUE(firstStillRunning) << "the second copy came too late to meet the first";

  ExpectWholeLibrary(m_library);
  EXPECT_EQ(FilesUnder(Archives(m_library)).size(), m_entries.size());
  for (const Entry& e : m_entries)
    EXPECT_EQ(ReadProfile(GbkPath(Index(m_library)), "小说"_gbk, e.title),
              ArchiveText(m_library, e));
  EXPECT_FALSE(fs::exists(m_library / "缓存"));
}

TEST_F(InterruptedRun, StopSignalEndsARunAsClosingDoesWithinASecond) {
  const fs::path asked = fs::path(m_root.NativePath()) / "asked";
  const pid_t child = Spawn([&] { StalledRunInChild(m_library.string(), asked.string()); });
  ASSERT_GT(child, 0);
  const bool downloading = AppearsWithin(asked, std::chrono::seconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the stall
  const Clock::time_point sent = Clock::now();
  ::kill(child, SIGTERM);
  const int code = WaitFor(child);
  const auto took = Clock::now() - sent;
  ASSERT_TRUE(downloading);
  EXPECT_EQ(code, 0);
  EXPECT_LT(took, std::chrono::seconds(1));
  EXPECT_FALSE(fs::exists(m_library / "缓存"));
  for (const std::string& file : FilesUnder(m_library / "小说"))
    EXPECT_FALSE(IsLeftoverTemporary(fs::path(file).filename().string())) << file;
  // The novel being fetched has nothing in the library, not even a record.
  EXPECT_FALSE(fs::exists(Archives(m_library) / (NativeName(m_entries[0].title) + ".rar")));
  EXPECT_EQ(ReadProfile(GbkPath(Index(m_library)), "小说"_gbk, m_entries[0].title), "");
}

}  // namespace
}  // namespace lirvo::test
