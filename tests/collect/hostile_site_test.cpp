// Whole collection runs, in-process and off-screen, against sites that are
// broken or hostile: huge listing pages, entries full of stray markers and
// cut-off GBK characters, titles that try to leave the library, downloads
// that are cut short or stall. The run must go on and end, and write nothing
// but whole files inside the library.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "collect/collect_steps.h"
#include "collect/cuts.h"
#include "collect/folder_tree.h"
#include "collect/lookahead.h"
#include "demo_site.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "services/profile.h"
#include "site_markers.h"
#include "support/quick_http.h"
#include "support/raw_server.h"
#include "support/temp_folder.h"

namespace lirvo::test {
namespace {

using namespace lirvo::literals;
namespace fs = std::filesystem;
using demo::Entry;
using demo::Host;

// Fields of one entry as the page shows them; the serial and the cover are
// those of a real entry, so its downloads are served.
struct Shown {
  Entry real;
  Text title;
  Text author;
  Text introduction;
};

using test::WellFormedProfile;

std::vector<Text> TitlesOf(const std::vector<Entry>& entries) {
  std::vector<Text> titles;
  for (const Entry& e : entries) titles.push_back(e.title);
  return titles;
}

class HostileSite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::Initialize(); }

  void SetUp() override {
    // The program folder sits deep inside the test's own folder, so that a
    // path climbing out of the library still lands where the test looks.
    m_program = fs::path(m_root.NativePath()) / "d1" / "d2" / "d3" / "d4" / "d5" / "程序";
    fs::create_directories(m_program);
    SetProgramFolderForTest(Utf8ToGbk(m_program.string()));
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    m_site = std::make_unique<demo::DemoSite>(options);
    ASSERT_TRUE(m_site->Start());
    m_site->MapHostsForTest();
    m_markers = demo::MakeMarkers(options.imageHost);
    ASSERT_TRUE(StartProgram([this](const Text& message, int) {
      m_messages.push_back(message);
      return 0;
    }));
  }

  void TearDown() override {
    StopProgram();
    ClearHostMappingsForTest();
    SetHttpLimitsForTest(HttpLimits{});
    collect::SetLookaheadForTest(collect::kLookaheadEntries);
    m_servers.clear();
    m_site.reset();
  }

  const demo::Category& Category(const RunChoice& c) const {
    const demo::Category* category = m_site->Find(c.completed, c.category);
    EXPECT_NE(category, nullptr);
    return *category;
  }
  Text ProgramText() const { return Utf8ToGbk(m_program.string()); }
  Text Kind(const RunChoice& c) const {
    return (c.completed ? "完本\\"_gbk : "连载中\\"_gbk) + Category(c).name;
  }
  Text Archive(const RunChoice& c, const Text& title) const {
    return ProgramText() + "\\小说\\"_gbk + Kind(c) + "\\" + title + ".rar";
  }
  Text Cover(const Text& title) const {
    return ProgramText() + "\\小说\\jpg\\"_gbk + title + ".jpg";
  }
  Text Record(const RunChoice& c, const Text& title) const {
    return ProgramText() + "\\小说\\ini\\"_gbk + Kind(c) + "\\" + title + ".ini";
  }
  Text Index() const { return ProgramText() + "\\小说\\ini\\小说.ini"_gbk; }

  // One entry drawn the way the site draws its own.
  Text RenderEntry(const Shown& s) const {
    const demo::Markers& m = m_markers;
    return m.entryHead + "." + s.real.serialPath + m.coverHead + s.real.coverPath + m.coverTail +
           "><a href=\"" + s.real.serialPath + m.titleHead + s.title + " " + "》"_gbk +
           m.authorHead + s.author + m.authorTail +
           "TXT</li>\r\n\t\t<li class=\"intro\"><a href=\"" + s.real.serialPath + m.introHead +
           s.introduction + m.entryTail + "\n\t" + std::string(15, ' ');
  }

  // Page 1 of the category with its list of entries replaced.
  Text PageWith(const demo::Category& category, const Text& entries) const {
    const Text page = m_site->ListingPage(category, 1);
    const std::size_t head = page.find(m_markers.entryHead);
    const std::size_t tail = page.find(m_markers.listTail);
    EXPECT_NE(head, std::string::npos);
    EXPECT_NE(tail, std::string::npos);
    return page.substr(0, head) + entries + "\r\n" + page.substr(tail);
  }

  // Serves `page` as page 1 of the category; other pages as the site has them.
  void ServeListing(const demo::Category& category, Text page) {
    const std::string path = category.listingPath + "1.html";
    m_site->SetRequestHook([path, page = std::move(page)](
                               Host host, const std::string& asked) -> std::optional<demo::Reply> {
      if (host != Host::Main || asked != path) return std::nullopt;
      return demo::Reply{200, page, "text/html"};
    });
  }

  void Collect(const RunChoice& c) {
    ChooseAndCollect(c);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].rfind("采集完成"_gbk, 0), 0u) << GbkToUtf8(m_messages[0]);
  }

  // Nothing under the test's folder but the library, the cache and the run's lock.
  void ExpectNothingOutsideTheLibrary() {
    const std::string program = fs::relative(m_program, m_root.NativePath()).string();
    const std::string lock = fs::relative(NativePath(layout::RunLockPath()), m_root.NativePath());
    for (const std::string& file : FilesUnder(m_root.NativePath())) {
      EXPECT_TRUE(file.rfind(program + "/小说/", 0) == 0 ||
                  file.rfind(program + "/缓存/", 0) == 0 || file == lock)
          << file;
    }
  }

  // The index and the records of these titles are well formed profiles, the
  // index holds one section, and each index line names a file of the library.
  void ExpectSoundProfiles(const RunChoice& c, const std::vector<Text>& titles) {
    EXPECT_TRUE(WellFormedProfile(ReadFile(Index())));
    for (const Text& title : titles) {
      EXPECT_TRUE(WellFormedProfile(ReadFile(Record(c, title)))) << GbkToUtf8(title);
    }
    const Bytes index = ReadFile(Index());
    std::size_t pos = 0;
    int headers = 0;
    const Text archives = ProgramText() + "\\小说\\"_gbk;
    while (pos < index.size()) {
      const std::size_t end = index.find("\r\n", pos);
      const std::string line = index.substr(pos, end - pos);
      pos = end + 2;
      if (line.empty() || line.front() == '[') {
        ++headers;
        continue;
      }
      const std::string value = line.substr(line.find('=') + 1);
      EXPECT_EQ(value.rfind(archives, 0), 0u) << GbkToUtf8(line);
      EXPECT_GE(FileSize(value), 0) << GbkToUtf8(line);
    }
    EXPECT_LE(headers, 1);
  }

  TempFolder m_root;
  fs::path m_program;
  std::unique_ptr<demo::DemoSite> m_site;
  demo::Markers m_markers;
  std::vector<Text> m_messages;
  std::vector<std::unique_ptr<RawServer>> m_servers;
};

// --- Listing pages of several megabytes -----------------------------------
enum class BigPage { ThousandsOfEntries, PartialMarkersBeforeTheList, HugeIntroduction };

class BigListingPage : public HostileSite, public ::testing::WithParamInterface<BigPage> {};

TEST_P(BigListingPage, RunRecordsTheFirstTwentyAndEnds) {
  const RunChoice c{true, 1, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry>& real = category.pages[0].entries;
  ASSERT_EQ(real.size(), 20u);
  constexpr std::size_t kBytes = 4 * 1024 * 1024;
  std::vector<Text> introductions;
  for (const Entry& e : real) introductions.push_back(e.introduction);
  Text entries;
  for (std::size_t i = 0; i < real.size(); ++i) {
    if (GetParam() == BigPage::HugeIntroduction && i == 3) {
      Text huge;
      while (huge.size() < kBytes) huge += "很长的简介，"_gbk + std::to_string(huge.size());
      introductions[i] = huge;
    }
    entries += RenderEntry({real[i], real[i].title, real[i].author, introductions[i]});
  }
  // Thousands of further entries the cut never reaches.
  for (std::size_t i = 0; GetParam() == BigPage::ThousandsOfEntries && entries.size() < kBytes; ++i)
    entries += RenderEntry({real[i % 20], "重复"_gbk + std::to_string(i), "某人"_gbk, "简介"_gbk});
  Text page = PageWith(category, entries);
  if (GetParam() == BigPage::PartialMarkersBeforeTheList) {
    // Near misses of the list marker make a naive search slow.
    const Text nearMiss = m_markers.listHead.substr(0, m_markers.listHead.size() - 1) + "\x81";
    Text prefix;
    while (prefix.size() < kBytes) prefix += nearMiss;
    page = prefix + page;
  }
  ASSERT_GE(page.size(), kBytes);
  ServeListing(category, page);

  const auto start = std::chrono::steady_clock::now();
  Collect(c);
  // Far beyond what the run needs, even under sanitizers: only a blow-up
  // in the page's handling would reach it.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));

  EXPECT_EQ(m_site->Requests(Host::Download).size(), 20u);
  for (std::size_t i = 0; i < real.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ReadFile(Archive(c, real[i].title)), m_site->Archive(real[i]));
    EXPECT_EQ(ReadFile(ProgramText() + "\\小说\\ini\\"_gbk + Kind(c) + "\\" + real[i].title +
                       "简介.ini"_gbk),
              introductions[i]);
    EXPECT_EQ(ReadProfile(Record(c, real[i].title), real[i].title, "作者"_gbk), real[i].author);
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, real[i].title), Archive(c, real[i].title));
  }
  ExpectSoundProfiles(c, TitlesOf(real));
}

INSTANTIATE_TEST_SUITE_P(Shapes, BigListingPage,
                         ::testing::Values(BigPage::ThousandsOfEntries,
                                           BigPage::PartialMarkersBeforeTheList,
                                           BigPage::HugeIntroduction));

// --- Stray markers and cut-off characters in entries ----------------------
TEST_F(HostileSite, StrayMarkersAndCutOffCharactersStayInsideTheLibrary) {
  const RunChoice c{true, 4, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry>& real = category.pages[0].entries;
  const demo::Markers& m = m_markers;
  const Text lead("\x81");
  // Entries whose fields are sound for files and profiles, each with a twist,
  // and the author the cut gives (none where a lead byte swallows the first
  // byte of the author's tail marker).
  struct Twisted {
    Shown shown;
    std::optional<Text> author;
  };
  const std::vector<Twisted> sound = {
      // A record section that would swallow its closing bracket is not written.
      {{real[0], "书"_gbk + lead, "某人"_gbk, "简介"_gbk}, ""},  // ends in a lead byte
      {{real[1], "\xB0", "某人"_gbk, "简介"_gbk}, ""},           // a lone lead byte
      {{real[2], "\x80\xFF" + "书"_gbk, "某人"_gbk, "简介"_gbk},
       "某人"_gbk},                                                       // bytes GBK never uses
      {{real[3], "《甲》乙》"_gbk, "某人"_gbk, "简介"_gbk}, "某人"_gbk},  // the title's brackets
      {{real[4], "錦..運"_gbk, "某人"_gbk, "简介"_gbk}, "某人"_gbk},      // trail bytes 0x5C
      {{real[5], "丙"_gbk, "某人"_gbk + lead, "简介"_gbk}, std::nullopt},
      {{real[6], "丁"_gbk, "某"_gbk + m.authorTail + "人"_gbk, "简介"_gbk}, "某"_gbk},
      {{real[7], "戊"_gbk, "某人"_gbk, "简介"_gbk + m.entryHead + lead + "A"}, "某人"_gbk},
      {{real[8], "己"_gbk, "某人"_gbk, "\r\n[小说]\r\n注入=1\r\n"_gbk}, "某人"_gbk},
      {{real[9], "\x81\x30\x81\x30" + "庚"_gbk, "某人"_gbk, "简介"_gbk}, "某人"_gbk},
  };
  // Entries whose fields a profile cannot hold as they are. (A zero byte
  // never reaches a title: the page's text ends at the first one.)
  const std::vector<Shown> awkward = {
      {real[10], "甲=乙"_gbk, "某人"_gbk, "简介"_gbk},
      {real[11], "[小说]"_gbk, "某人"_gbk, "简介"_gbk},
      {real[12], ";注释"_gbk, "某人"_gbk, "简介"_gbk},
      {real[13], "甲\r\n[小说]\r\n乙"_gbk, "某人"_gbk, "简介"_gbk},
      {real[14], "辛"_gbk, "某人\r\n[小说]\r\n注入=1"_gbk, "简介"_gbk},
      {real[15], "   ", "某人"_gbk, "简介"_gbk},
      {real[16], "壬"_gbk + lead, "某人"_gbk, "简介"_gbk},
      {real[17], "[癸"_gbk + lead, "某人"_gbk, "简介"_gbk},
  };
  // Last: an entry tail inside the introduction splits the entry, and what
  // follows is cut as entries of its own.
  const std::vector<Shown> splitting = {
      {real[18], "子"_gbk, "某人"_gbk, "简"_gbk + m.entryTail + "介"_gbk + m.titleTail + lead},
      {real[19], "丑"_gbk, m.entryTail + m.entryTail, m.titleHead + m.authorHead},
  };
  Text entries;
  std::vector<Text> shownTitles;
  for (const Twisted& t : sound) {
    entries += RenderEntry(t.shown);
    shownTitles.push_back(t.shown.title);
  }
  for (const auto* group : {&awkward, &splitting}) {
    for (const Shown& s : *group) {
      entries += RenderEntry(s);
      shownTitles.push_back(s.title);
    }
  }
  ServeListing(category, PageWith(category, entries));

  Collect(c);

  ExpectNothingOutsideTheLibrary();
  ExpectSoundProfiles(c, shownTitles);
  for (const Twisted& t : sound) {
    const Text& title = t.shown.title;
    SCOPED_TRACE(GbkToUtf8(title));
    EXPECT_EQ(ReadFile(Archive(c, title)), m_site->Archive(t.shown.real));
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, title), Archive(c, title));
    if (t.author) {
      EXPECT_EQ(ReadProfile(Record(c, title), title, "作者"_gbk), *t.author);
    }
  }
  // Cut fields that would change the structure of a profile are never written
  // into one: the index keeps its single section and no injected key.
  EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, "注入"_gbk), "");
  EXPECT_EQ(ReadProfile(Record(c, "辛"_gbk), "小说"_gbk, "注入"_gbk), "");
}

// --- Titles that try to leave the library ---------------------------------
TEST_F(HostileSite, ClimbingTitlesWriteNothingOutsideTheLibrary) {
  const RunChoice c{true, 5, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry>& real = category.pages[0].entries;
  std::vector<Text> titles = {"..", ".",
                              // 0x81 0x5C is one character, not a separator
                              Text("\x81\\..\x81\\..\x81\\..") + "逃出"_gbk};
  for (int levels = 1; levels <= 6; ++levels) {
    Text back, forward;
    for (int i = 0; i < levels; ++i) back += "..\\", forward += "../";
    titles.push_back(back + "逃出"_gbk + std::to_string(levels));
    titles.push_back(forward + "越界"_gbk + std::to_string(levels));
  }
  titles.push_back("..\\../..\\逃出"_gbk);
  titles.push_back("\\\\server\\share\\逃出"_gbk);
  ASSERT_LE(titles.size(), 19u);
  Text entries;
  for (std::size_t i = 0; i < titles.size(); ++i)
    entries += RenderEntry({real[i], titles[i], "某人"_gbk, "简介"_gbk});
  // A plain one at the end shows the run went on to the last entry.
  const Entry& last = real[titles.size()];
  entries += RenderEntry({last, last.title, last.author, last.introduction});
  ServeListing(category, PageWith(category, entries));

  Collect(c);

  ExpectNothingOutsideTheLibrary();
  ExpectSoundProfiles(c, titles);
  for (const Text& title : titles) {
    if (!collect::IsPlainFileName(title)) {
      EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, title), "") << GbkToUtf8(title);
    }
  }
  EXPECT_EQ(ReadFile(Archive(c, last.title)), m_site->Archive(last));
}

// --- Titles as sites write them -------------------------------------------
TEST_F(HostileSite, EveryTitleGetsFilesOfItsOwn) {
  const RunChoice c{true, 6, "1"};
  const demo::Category& category = Category(c);
  const std::vector<Entry>& real = category.pages[0].entries;
  // Wildcards are a title's own characters; a dot name is an ordinary file;
  // bytes that are no GBK character keep titles apart ("\xFF1" and "\xA11"
  // both once gave the file name "\uFFFD1"); a title whose longest
  // file name ("...下载页.html") has 255 bytes gets all of its files.
  const std::vector<Text> titles = {"你好?"_gbk,          "星*"_gbk,          ".NET修炼手册"_gbk,
                                    Text("\xFF") + "1",   Text("\xA1") + "1", "x\x80",
                                    std::string(241, 'L')};
  collect::CreateFolderTree();
  const Text present = ProgramText() + "\\小说\\"_gbk + Kind(c) + "\\你好吗.rar"_gbk;
  ASSERT_TRUE(WriteFile(present, std::string(40000, 'p')));
  ASSERT_TRUE(WriteFile(Cover("你好吗"_gbk), std::string(2500, 'c')));
  Text entries;
  for (std::size_t i = 0; i < titles.size(); ++i)
    entries += RenderEntry({real[i], titles[i], "某人"_gbk, "简介"_gbk});
  ServeListing(category, PageWith(category, entries));

  Collect(c);

  const int n = static_cast<int>(titles.size());
  EXPECT_EQ(m_messages[0], "采集完成，共采集"_gbk + std::to_string(n) +
                               "篇小说，其中已存在0篇小说，本次成功采集"_gbk + std::to_string(n) +
                               "篇小说！是否查看文件？"_gbk);
  for (std::size_t i = 0; i < titles.size(); ++i) {
    SCOPED_TRACE(GbkToUtf8(titles[i]));
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, titles[i]), Archive(c, titles[i]));
    EXPECT_EQ(ReadFile(Archive(c, titles[i])), m_site->Archive(real[i]));
    EXPECT_EQ(ReadFile(Cover(titles[i])), m_site->Cover(real[i]));
    EXPECT_EQ(ReadProfile(Record(c, titles[i]), titles[i], "作者"_gbk), "某人"_gbk);
  }
  EXPECT_EQ(ReadFile(present), std::string(40000, 'p'));
  // The file box and the title pool show the dot name and no temporary file.
  int search = 0;
  std::set<Text> listed;
  for (Text name = FindFile(ProgramText() + "\\小说\\"_gbk + Kind(c) + "\\*.*", 0, 1, search);
       !name.empty(); name = FindFile({}, 0, 1, search))
    listed.insert(name);
  EXPECT_EQ(listed.size(), titles.size() + 1);
  EXPECT_EQ(listed.count(".NET修炼手册.rar"_gbk), 1u);
  for (const Text& name : listed) EXPECT_FALSE(IsTemporaryFileName(name)) << GbkToUtf8(name);
}

// --- Downloads cut short or stalled ---------------------------------------
enum class BrokenAnswer { LongerThanSentThenReset, StallAfterHeaders, StallMidBody, ChunksCutOff };

class BrokenArchive : public HostileSite, public ::testing::WithParamInterface<BrokenAnswer> {
 protected:
  static RawScript Broken(BrokenAnswer kind) {
    const std::string announced = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    switch (kind) {
      case BrokenAnswer::LongerThanSentThenReset:
        return RawScript().Send(announced).Send(std::string(40000, 'x')).Reset();
      case BrokenAnswer::StallAfterHeaders:
        return RawScript().Send(announced).Stall();
      case BrokenAnswer::StallMidBody:
        return RawScript().Send(announced).Send(std::string(40000, 'x')).Stall();
      case BrokenAnswer::ChunksCutOff:
        return RawScript()
            .Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
            .Send("9c40\r\n" + std::string(40000, 'x') + "\r\n");
    }
    return RawScript();
  }

  // A server for one host that answers as the site does, but breaks the
  // answers to the paths given.
  void BreakOn(Host host, const std::string& hostName, std::set<std::string> paths) {
    demo::DemoSite* site = m_site.get();
    const BrokenAnswer kind = GetParam();
    m_servers.push_back(std::make_unique<RawServer>(
        [site, host, kind, paths = std::move(paths)](const RawRequest& request) {
          if (paths.count(request.target) != 0) return Broken(kind);
          const demo::Reply reply = site->Answer(host, request.target);
          return RawScript().Send(HttpResponse(reply.status, reply.body,
                                               "Content-Type: " + reply.contentType + "\r\n"));
        }));
    SetHostMappingForTest(hostName, m_servers.back()->HostPort());
  }
};

TEST_P(BrokenArchive, OldFilesStayNothingBrokenIsFiledAndTheRunGoesOn) {
  // The server answers one connection at a time: a stalled answer would hold
  // the downloads fetched ahead behind it.
  collect::SetLookaheadForTest(0);
  HttpLimits limits = test::QuickHttpLimits();
  limits.stallSeconds = 1;
  SetHttpLimitsForTest(limits);
  const RunChoice c{false, 2, "1", true};  // ongoing, archives fetched again
  const std::vector<Entry> entries = demo::CollectedEntries(Category(c), 1);
  ASSERT_GE(entries.size(), 3u);
  const Entry& kept = entries[0];   // has an old archive and cover
  const Entry& fresh = entries[1];  // has nothing yet
  auto archivePath = [](const Entry& e) { return "/down/2011/" + e.serial + ".rar"; };
  BreakOn(Host::Download, hosts::kDownload, {archivePath(kept), archivePath(fresh)});
  BreakOn(Host::Image, hosts::kImage, {"/dianzishu/UploadPic/" + kept.coverPath});
  fs::create_directories(NativePath(ProgramText() + "\\小说\\"_gbk + Kind(c)));
  fs::create_directories(NativePath(ProgramText() + "\\小说\\jpg"_gbk));
  const Bytes oldArchive(400000, 'z');
  const Bytes oldCover(1000, 'c');  // small enough to be fetched again
  ASSERT_TRUE(WriteFile(Archive(c, kept.title), oldArchive));
  ASSERT_TRUE(WriteFile(Cover(kept.title), oldCover));

  Collect(c);

  EXPECT_EQ(ReadFile(Archive(c, kept.title)), oldArchive);
  EXPECT_EQ(ReadFile(Cover(kept.title)), oldCover);
  // A novel without any archive gets no file, never the broken bytes.
  EXPECT_EQ(ExactFileSize(Archive(c, fresh.title)), -1);
  for (std::size_t i = 2; i < entries.size(); ++i) {
    EXPECT_EQ(ReadFile(Archive(c, entries[i].title)), m_site->Archive(entries[i]));
    EXPECT_EQ(ReadFile(Cover(entries[i].title)), m_site->Cover(entries[i]));
  }
  for (const Entry& e : entries)
    EXPECT_EQ(ReadProfile(Index(), "小说"_gbk, e.title), Archive(c, e.title));
  for (const std::string& file : FilesUnder(m_program / "小说"))
    EXPECT_NE(fs::path(file).filename().string().front(), '.') << file;
}

INSTANTIATE_TEST_SUITE_P(Kinds, BrokenArchive,
                         ::testing::Values(BrokenAnswer::LongerThanSentThenReset,
                                           BrokenAnswer::StallAfterHeaders,
                                           BrokenAnswer::StallMidBody, BrokenAnswer::ChunksCutOff));

}  // namespace
}  // namespace lirvo::test
