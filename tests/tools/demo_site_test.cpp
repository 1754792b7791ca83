// The demo site: its pages cut into the entries it documents, its covers and
// archives are what the collector keeps, and its servers answer on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <jpeglib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csetjmp>
#include <ctime>
#include <set>

#include "archive_answer.h"
#include "cover_picture.h"
#include "demo_site.h"
#include "rate_limiter.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/text.h"
#include "site_markers.h"
#include "zip_writer.h"

namespace lirvo::demo {
namespace {

using namespace lirvo::literals;

// ---- The collector's cut arithmetic, step by step --------------------------

struct Cut {
  Text serialPath, serial, title, author, introduction, coverPath;
};

// The entry after the head marker and the byte after it; `rest` gets the text
// after the entry's tail marker.
Text TakeEntry(const Text& text, Text& rest, const Markers& m) {
  const Text e0 = LeftText(text, FindText(text, m.entryTail) - 1);
  rest = RightText(text, TextLength(text) - TextLength(e0) - TextLength(m.entryTail));
  return RightText(e0, TextLength(e0) - FindText(e0, m.entryHead) - TextLength(m.entryHead));
}

Cut CutFields(const Text& e, const Markers& m) {
  Cut c;
  Text s = LeftText(e, FindText(e, m.serialTail));
  c.serialPath = LeftText(s, TextLength(s) - 1);
  Text t = LeftText(e, FindText(e, m.titleTail) - 2);
  c.title = RightText(t, TextLength(t) - FindText(t, m.titleHead) - TextLength(m.titleHead) + 1);
  Text a = LeftText(e, FindText(e, m.authorTail) - 1);
  c.author = RightText(a, TextLength(a) - FindText(a, m.authorHead) - TextLength(m.authorHead) + 1);
  c.introduction =
      RightText(e, TextLength(e) - FindText(e, m.introHead) - TextLength(m.introHead) + 1);
  Text q = LeftText(e, FindText(e, m.coverTail) - 1);
  c.coverPath =
      RightText(q, TextLength(q) - FindText(q, m.coverHead) - TextLength(m.coverHead) + 1);
  c.serial = RightText(c.serialPath, TextLength(c.serialPath) - FindTextReverse(c.serialPath, "/"));
  return c;
}

// Every pass of the page loop, up to 20, the pass with an empty title last.
std::vector<Cut> CutPage(const Text& page, bool completed, const Markers& m) {
  Text w = ToText(Bytes(page));
  w = RightText(w, TextLength(w) - FindText(w, m.listHead) - TextLength(m.listHead));
  w = LeftText(w, FindText(w, completed ? m.listTail : m.listTailOngoing));
  std::vector<Cut> passes;
  Text rest;
  Text e = TakeEntry(w, rest, m);
  for (int i = 0; i < 20; ++i) {
    passes.push_back(CutFields(e, m));
    if (passes.back().title.empty()) break;
    e = TakeEntry(rest, rest, m);
  }
  return passes;
}

// Text made only of ASCII and two-byte GBK characters that survive a round trip.
bool CleanGbk(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == 0) return false;
    if (b >= 0x81) {
      if (i + 1 >= text.size()) return false;
      const auto trail = static_cast<unsigned char>(text[i + 1]);
      if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
      ++i;
    }
  }
  return Utf8ToGbk(GbkToUtf8(text)) == text &&
         GbkToUtf8(text).find("\xEF\xBF\xBD") == std::string::npos;
}

bool HasTrailBackslash(const Text& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x81) {
      if (text[i + 1] == '\\') return true;
      ++i;
    }
  }
  return false;
}

SiteOptions FreePorts(SiteOptions options = {}) {
  for (int& port : options.ports) port = 0;
  return options;
}

class DemoSiteContentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_site = new DemoSite(SiteOptions{}); }
  static void TearDownTestSuite() {
    delete s_site;
    s_site = nullptr;
  }
  static const Markers& M() {
    static const Markers markers = MakeMarkers(hosts::kImage);
    return markers;
  }
  static DemoSite* s_site;
};
DemoSite* DemoSiteContentTest::s_site = nullptr;

// ---- Markers: the stated byte counts ----------------------------------------

TEST_F(DemoSiteContentTest, MarkersHaveTheirStatedLengths) {
  const Markers& m = M();
  const std::pair<const Text*, int> lengths[] = {
      {&m.listHead, 88},   {&m.listTail, 99},  {&m.listTailOngoing, 51}, {&m.entryHead, 54},
      {&m.entryTail, 84},  {&m.titleHead, 25}, {&m.titleTail, 32},       {&m.authorHead, 37},
      {&m.authorTail, 64}, {&m.introHead, 47}, {&m.coverTail, 172}};
  for (const auto& [marker, length] : lengths) EXPECT_EQ(TextLength(*marker), length) << *marker;
  const Text hostPart = Text(".html\"><img src=\"http://") + hosts::kImage + "/dianzishu/UploadPic";
  EXPECT_EQ(m.serialTail, hostPart);
  EXPECT_EQ(m.coverHead, hostPart + "/");
  EXPECT_EQ(m.titleTail, "》</a></span>&nbsp; <span>作者："_gbk);
}

// ---- Categories ------------------------------------------------------------

TEST_F(DemoSiteContentTest, CategoriesFollowTheTwoLists) {
  const auto& categories = s_site->Categories();
  ASSERT_EQ(categories.size(), 24u);
  EXPECT_EQ(categories[0].name, "玄幻小说"_gbk);
  EXPECT_EQ(categories[0].listingPath, "/wanben/xh/tuijian");
  EXPECT_EQ(categories[15].name, "校园小说"_gbk);
  EXPECT_EQ(categories[15].listingPath, "/wanben/xiaoyuan/tuijian");
  EXPECT_EQ(categories[16].name, "玄幻奇幻"_gbk);
  EXPECT_EQ(categories[16].listingPath, "/xuanhuan/list1-");
  EXPECT_EQ(categories[23].listingPath, "/tongren/list40-");
  ASSERT_NE(s_site->Find(true, "同人小说"_gbk), nullptr);
  ASSERT_NE(s_site->Find(false, "同人小说"_gbk), nullptr);
  EXPECT_EQ(s_site->Find(true, "同人小说"_gbk)->listingPath, "/wanben/dm/tuijian");
  EXPECT_EQ(s_site->Find(false, 7)->listingPath, "/tongren/list40-");
  int awkward = 0;
  for (const Category& c : categories) {
    EXPECT_EQ(static_cast<int>(c.pages.size()), 3) << c.listingPath;
    awkward += c.awkward;
  }
  EXPECT_EQ(awkward, 3);
  EXPECT_TRUE(s_site->Find(true, 15)->awkward);
  EXPECT_TRUE(s_site->Find(true, 12)->awkward);
  EXPECT_TRUE(s_site->Find(false, 7)->awkward);
}

// ---- Every page cuts into its documented entries -----------------------------

TEST_F(DemoSiteContentTest, EveryPageCutsIntoItsEntries) {
  for (const Category& category : s_site->Categories()) {
    const int full = static_cast<int>(category.pages.size());
    for (int n = 1; n <= full + 1; ++n) {
      SCOPED_TRACE(category.listingPath + std::to_string(n));
      const Text page = s_site->ListingPage(category, n);
      const std::vector<Cut> passes = CutPage(page, category.completed, M());
      if (n == full + 1) {
        // The short last page: one empty pass ends it.
        ASSERT_EQ(passes.size(), 1u);
        EXPECT_EQ(passes[0].title, "");
        continue;
      }
      const Page& expected = category.pages[n - 1];
      const bool endsOnEmptyTitle = expected.entries[expected.processed - 1].title.empty();
      const std::size_t wantPasses = expected.processed == 20 || endsOnEmptyTitle
                                         ? expected.processed
                                         : expected.processed + 1;
      ASSERT_EQ(passes.size(), wantPasses);
      for (int k = 0; k < expected.processed; ++k) {
        const Entry& e = expected.entries[k];
        const Cut& c = passes[k];
        EXPECT_EQ(c.serialPath, e.serialPath) << k;
        EXPECT_EQ(c.serial, e.serial) << k;
        EXPECT_EQ(c.title, e.title) << k;
        EXPECT_EQ(c.author, e.author) << k;
        EXPECT_EQ(c.introduction, e.introduction) << k;
        EXPECT_EQ(c.coverPath, e.coverPath) << k;
      }
    }
  }
}

// The listing pages of the other type's tail marker never cut: the tails differ.
TEST_F(DemoSiteContentTest, PagesCarryOnlyTheirOwnTypesListTail) {
  const Text completedPage = s_site->ListingPage(*s_site->Find(true, 0), 1);
  const Text ongoingPage = s_site->ListingPage(*s_site->Find(false, 0), 1);
  EXPECT_NE(FindText(completedPage, M().listTail), -1);
  EXPECT_EQ(FindText(completedPage, M().listTailOngoing), -1);
  EXPECT_NE(FindText(ongoingPage, M().listTailOngoing), -1);
  EXPECT_EQ(FindText(ongoingPage, M().listTail), -1);
}

TEST_F(DemoSiteContentTest, PageSizesStraddleTheThreshold) {
  for (const Category& category : s_site->Categories()) {
    const int full = static_cast<int>(category.pages.size());
    for (int n = 1; n <= full; ++n)
      EXPECT_GE(s_site->ListingPage(category, n).size(), 3000u) << category.listingPath << n;
    EXPECT_LT(s_site->ListingPage(category, full + 1).size(), 3000u) << category.listingPath;
    EXPECT_LT(s_site->ListingPage(category, full + 2).size(), 3000u) << category.listingPath;
  }
}

// ---- The awkward cases, where the header says they are -------------------------

TEST_F(DemoSiteContentTest, AwkwardCasesSitWhereDocumented) {
  for (const Category& c : s_site->Categories()) {
    SCOPED_TRACE(c.listingPath);
    const auto& p1 = c.pages[0].entries;
    if (!c.awkward) {
      for (const Page& page : c.pages) {
        EXPECT_EQ(page.entries.size(), 20u);
        EXPECT_EQ(page.processed, 20);
        for (const Entry& e : page.entries) {
          EXPECT_TRUE(e.recorded());
          EXPECT_FALSE(HasTrailBackslash(e.title));
          EXPECT_EQ(FindText(e.author, M().authorHead), -1);
        }
      }
      EXPECT_EQ(CollectedEntries(c, 3).size(), 60u);
      continue;
    }
    EXPECT_TRUE(HasTrailBackslash(p1[2].title));
    EXPECT_EQ(static_cast<unsigned char>(p1[2].title[1]), 0x5C);
    EXPECT_EQ(p1[2].title.back(), '\\');
    EXPECT_NE(FindText(p1[4].author, M().authorHead), -1);
    EXPECT_EQ(p1[7].introduction, "");
    EXPECT_FALSE(p1[7].recorded());
    EXPECT_EQ(c.pages[1].entries.size(), 25u);
    EXPECT_EQ(c.pages[1].processed, 20);
    EXPECT_EQ(c.pages[2].processed, 11);
    EXPECT_EQ(c.pages[2].entries[10].title, "");
    EXPECT_NE(c.pages[2].entries[10].shownTitle, "");
    // 19 of page 1 (one has no introduction), 20 of the 25, 10 before the break.
    EXPECT_EQ(CollectedEntries(c, 3).size(), 49u);
    EXPECT_EQ(CollectedEntries(c, 1).size(), 19u);
    EXPECT_EQ(CollectedEntries(c, 99).size(), 49u);
  }
}

TEST_F(DemoSiteContentTest, TitlesAreUniqueAndTextsCleanGbk) {
  std::set<Text> titles, serials, covers;
  for (const Category& c : s_site->Categories())
    for (const Page& page : c.pages)
      for (const Entry& e : page.entries) {
        EXPECT_TRUE(titles.insert(e.shownTitle).second) << GbkToUtf8(e.shownTitle);
        EXPECT_TRUE(serials.insert(e.serial).second) << e.serial;
        EXPECT_TRUE(covers.insert(e.coverPath).second) << e.coverPath;
        for (const Text* t : {&e.shownTitle, &e.author, &e.introduction})
          EXPECT_TRUE(CleanGbk(*t)) << GbkToUtf8(*t);
        EXPECT_EQ(e.title.find_first_of("/\"<>"), Text::npos);
      }
  EXPECT_EQ(titles.size(), 24u * 60 + 3 * 5);
}

// ---- Download pages, covers and archives ------------------------------------

TEST_F(DemoSiteContentTest, DownloadPageNamesTheNovel) {
  const Entry& e = s_site->Categories()[3].pages[0].entries[0];
  const Text page = s_site->DownloadPage(e);
  EXPECT_NE(FindText(page, e.title), -1);
  EXPECT_NE(page.find("/down/2011/" + e.serial + ".rar"), Text::npos);
}

struct JpegInfo {
  bool ok = false;
  int width = 0, height = 0;
};

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

JpegInfo DecodeJpeg(const Bytes& data) {
  JpegInfo info;
  jpeg_decompress_struct d{};
  JpegErrors errors{};
  d.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = [](j_common_ptr common) {
    std::longjmp(reinterpret_cast<JpegErrors*>(common->err)->jump, 1);
  };
  std::vector<unsigned char> row(kCoverWidth * 3 * 4);
  jpeg_create_decompress(&d);
  if (setjmp(errors.jump) == 0) {
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    if (d.output_width * d.output_components <= row.size()) {
      while (d.output_scanline < d.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&d, &r, 1);
      }
      jpeg_finish_decompress(&d);
      info = {true, static_cast<int>(d.output_width), static_cast<int>(d.output_height)};
    }
  }
  jpeg_destroy_decompress(&d);
  return info;
}

TEST_F(DemoSiteContentTest, CoversAreRealJpegsOver2000Bytes) {
  std::set<Bytes> distinct;
  for (const Category& c : s_site->Categories())
    for (const Entry& e : c.pages[0].entries) {
      const Bytes cover = s_site->Cover(e);
      EXPECT_GT(cover.size(), 2000u) << e.coverPath;
      EXPECT_EQ(cover.substr(0, 3), "\xFF\xD8\xFF");
      distinct.insert(cover);
    }
  EXPECT_EQ(distinct.size(), 24u * 20);
  const JpegInfo info = DecodeJpeg(s_site->Cover(s_site->Categories()[0].pages[0].entries[0]));
  EXPECT_TRUE(info.ok);
  EXPECT_EQ(info.width, 120);
  EXPECT_EQ(info.height, 160);
}

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    static_cast<unsigned char>(b[at + 1]) << 8);
}

// A stored one-file zip, read the way an archive tool reads it: from the end.
struct ZipCheck {
  std::string name;
  std::string data;
  bool crcMatches = false;
};

std::optional<ZipCheck> ReadZip(const Bytes& zip) {
  if (zip.size() < 22) return std::nullopt;
  const std::size_t end = zip.size() - 22;
  if (Le32(zip, end) != 0x06054b50 || Le16(zip, end + 10) != 1) return std::nullopt;
  const std::size_t dir = Le32(zip, end + 16);
  if (dir + 46 > end || Le32(zip, dir) != 0x02014b50 || Le16(zip, dir + 10) != 0)
    return std::nullopt;
  const std::uint32_t crc = Le32(zip, dir + 16);
  const std::uint32_t size = Le32(zip, dir + 20);
  const std::size_t local = Le32(zip, dir + 42);
  if (Le32(zip, local) != 0x04034b50 || Le32(zip, local + 14) != crc) return std::nullopt;
  const std::size_t nameLength = Le16(zip, local + 26);
  const std::size_t start = local + 30 + nameLength + Le16(zip, local + 28);
  if (start + size != dir) return std::nullopt;
  ZipCheck check;
  check.name = zip.substr(local + 30, nameLength);
  check.data = zip.substr(start, size);
  check.crcMatches = Crc32(check.data) == crc;
  return check;
}

TEST(DemoZip, Crc32MatchesTheCheckValue) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

TEST_F(DemoSiteContentTest, ArchivesAreZipsOfTheStatedSize) {
  for (const Category* c : {s_site->Find(true, 0), s_site->Find(true, 15), s_site->Find(false, 7)})
    for (const Entry& e : c->pages[0].entries) {
      SCOPED_TRACE(e.serial);
      const Bytes archive = s_site->Archive(e);
      EXPECT_EQ(archive.size(), e.archiveSize);
      EXPECT_GT(archive.size(), 30000u);
      EXPECT_LT(archive.size(), 300000u);
      const auto zip = ReadZip(archive);
      ASSERT_TRUE(zip.has_value());
      EXPECT_TRUE(zip->crcMatches);
      EXPECT_EQ(zip->name, GbkToUtf8(e.shownTitle) + ".txt");
      EXPECT_EQ(zip->data.rfind("《" + GbkToUtf8(e.shownTitle) + "》\n", 0), 0u);
      EXPECT_NE(zip->data.find(GbkToUtf8(e.introduction)), std::string::npos);
    }
}

// ---- Seed, scale and hostile knobs --------------------------------------------

TEST(DemoSiteOptions, SameSeedSameSiteOtherSeedOtherSite) {
  DemoSite a(SiteOptions{}), b(SiteOptions{});
  SiteOptions other;
  other.seed = 7;
  DemoSite c(other);
  const Category& ca = *a.Find(true, 4);
  EXPECT_EQ(a.ListingPage(ca, 2), b.ListingPage(*b.Find(true, 4), 2));
  EXPECT_EQ(a.Archive(ca.pages[1].entries[3]), b.Archive(*&b.Find(true, 4)->pages[1].entries[3]));
  EXPECT_NE(a.ListingPage(ca, 2), c.ListingPage(*c.Find(true, 4), 2));
}

TEST(DemoSiteOptions, OnePagePerCategoryKeepsThePageOneCases) {
  SiteOptions options;
  options.pagesPerCategory = 1;
  DemoSite site(options);
  const Category& c = *site.Find(true, 15);
  ASSERT_EQ(c.pages.size(), 1u);
  EXPECT_EQ(CollectedEntries(c, 5).size(), 19u);
  EXPECT_LT(site.ListingPage(c, 2).size(), 3000u);
  EXPECT_EQ(site.Answer(Host::Main, "/wanben/xiaoyuan/tuijian2.html").status, 200);
  EXPECT_EQ(site.Answer(Host::Main, "/wanben/xiaoyuan/tuijian3.html").status, 404);
}

TEST(DemoSiteOptions, BigCategoryHasAThousandNovelsWithLargeArchives) {
  SiteOptions options;
  options.bigCategoryPages = 50;
  DemoSite site(options);
  const Category& big = *site.Find(true, 0);
  ASSERT_EQ(big.pages.size(), 50u);
  EXPECT_EQ(CollectedEntries(big, 50).size(), 1000u);
  for (const Page& page : big.pages)
    for (const Entry& e : page.entries) {
      EXPECT_GE(e.archiveSize, 100000u);
      EXPECT_LE(e.archiveSize, 500000u);
    }
  const Entry& last = big.pages[49].entries[19];
  EXPECT_EQ(site.Archive(last).size(), last.archiveSize);
  EXPECT_EQ(site.Find(true, 1)->pages.size(), 3u);
}

TEST(DemoSiteOptions, HostileTitlesOnlyWhenAsked) {
  DemoSite plain(SiteOptions{});
  SiteOptions options;
  options.hostileTitles = true;
  DemoSite hostile(options);
  const auto& entries = hostile.Find(true, 15)->pages[0].entries;
  EXPECT_EQ(entries[9].title, "..\\..\\..\\逃出书库"_gbk);
  EXPECT_EQ(entries[11].title, "../../../逃出书库"_gbk);
  EXPECT_EQ(entries[13].title, "书库/越界"_gbk);
  EXPECT_EQ(entries[15].title, "\\根目录越界"_gbk);
  const Markers m = MakeMarkers(hosts::kImage);
  const auto passes = CutPage(hostile.ListingPage(*hostile.Find(true, 15), 1), true, m);
  ASSERT_EQ(passes.size(), 20u);
  EXPECT_EQ(passes[11].title, "../../../逃出书库"_gbk);
  // The name inside the archive cannot climb out of a folder.
  const auto zip = ReadZip(hostile.Archive(entries[9]));
  ASSERT_TRUE(zip.has_value());
  EXPECT_EQ(zip->name.find_first_of("/\\"), std::string::npos);
  EXPECT_NE(zip->name.substr(0, 1), ".");
  for (const Category& c : plain.Categories())
    for (const Page& page : c.pages)
      for (const Entry& e : page.entries)
        EXPECT_EQ(GbkToUtf8(e.title).find_first_of("/\\."), std::string::npos);
}

// ---- Request paths ---------------------------------------------------------------

struct PathCase {
  Host host;
  std::string path;
  int status;
};

class DemoSitePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(DemoSitePathTest, Answers) {
  static DemoSite site(SiteOptions{});
  const PathCase& c = GetParam();
  EXPECT_EQ(site.Answer(c.host, c.path).status, c.status) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DemoSitePathTest,
    ::testing::Values(PathCase{Host::Main, "/wanben/xh/tuijian1.html", 200},
                      PathCase{Host::Main, "/wanben/xh/tuijian4.html", 200},  // the short page
                      PathCase{Host::Main, "/wanben/xh/tuijian5.html", 404},
                      PathCase{Host::Main, "/wanben/xh/tuijian0.html", 404},
                      PathCase{Host::Main, "/wanben/xh/tuijian01.html", 404},
                      PathCase{Host::Main, "/wanben/xh/tuijian.html", 404},
                      PathCase{Host::Main, "/xuanhuan/list1-2.html", 200},
                      PathCase{Host::Main, "/tongren/list40-3.html", 200},
                      PathCase{Host::Main, "/", 404}, PathCase{Host::Text, "/txt/txt.html", 404},
                      PathCase{Host::Image, "/dianzishu/UploadPic/", 404},
                      PathCase{Host::Download, "/down/2011/.rar", 404},
                      PathCase{Host::Download, "/down/2011/99.rar", 404},
                      PathCase{Host::Update, "/lirvo/banben", 200},
                      PathCase{Host::Update, "/lirvo/gengxincx", 200},
                      PathCase{Host::Update, kUpdateProgramPath, 200},
                      PathCase{Host::Update, std::string(kUpdateProgramPath) + ".minisig", 200},
                      PathCase{Host::Update, "/lirvo/other", 404},
                      PathCase{Host::Main, "/lirvo/banben", 404}));

// ---- The servers -------------------------------------------------------------

class DemoSiteServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SiteOptions options = FreePorts();
    options.version = "1190";
    m_site = std::make_unique<DemoSite>(options);
    ASSERT_TRUE(m_site->Start());
    m_site->MapHostsForTest();
  }
  void TearDown() override {
    m_site.reset();
    ClearHostMappingsForTest();
  }
  static std::string Url(const char* host, const std::string& path) {
    return std::string("http://") + host + path;
  }
  std::unique_ptr<DemoSite> m_site;
};

TEST_F(DemoSiteServerTest, ServesEveryKindOfBody) {
  const Category& c = *m_site->Find(true, 15);
  const Entry& e = c.pages[0].entries[2];  // the title with 0x5C trail bytes

  HttpResult page = HttpFetch(Url(hosts::kMain, "/wanben/xiaoyuan/tuijian1.html"));
  EXPECT_EQ(page.status, 200);
  EXPECT_TRUE(page.complete);
  EXPECT_EQ(page.body, m_site->ListingPage(c, 1));

  HttpResult last = HttpFetch(Url(hosts::kMain, "/wanben/xiaoyuan/tuijian4.html"));
  EXPECT_EQ(last.status, 200);
  EXPECT_LT(last.body.size(), 3000u);

  HttpResult download = HttpFetch(Url(hosts::kText, "/txt/" + e.serial + "txt.html#"));
  EXPECT_EQ(download.status, 200);
  EXPECT_EQ(download.body, m_site->DownloadPage(e));

  HttpResult cover = HttpFetch(Url(hosts::kImage, "/dianzishu/UploadPic/" + e.coverPath));
  EXPECT_EQ(cover.status, 200);
  EXPECT_EQ(cover.body, m_site->Cover(e));

  HttpResult archive = HttpFetch(Url(hosts::kDownload, "/down/2011/" + e.serial + ".rar"));
  EXPECT_EQ(archive.status, 200);
  EXPECT_TRUE(archive.complete);
  EXPECT_EQ(archive.body.size(), e.archiveSize);

  HttpResult missing = HttpFetch(Url(hosts::kMain, "/no/such/page.html"));
  EXPECT_EQ(missing.status, 404);
  EXPECT_FALSE(missing.body.empty());
  EXPECT_LT(missing.body.size(), 3000u);
}

TEST_F(DemoSiteServerTest, UpdateServerPointsAtItsOwnHarmlessProgram) {
  EXPECT_EQ(HttpGet(Url(hosts::kUpdate, "/lirvo/banben")), "1190");
  const Text locator = HttpGet(Url(hosts::kUpdate, "/lirvo/gengxincx"));
  EXPECT_EQ(locator, Url(hosts::kUpdate, kUpdateProgramPath));
  const Bytes program = HttpGet(locator);
  EXPECT_EQ(program.rfind("#!/bin/sh\n", 0), 0u);
  EXPECT_EQ(program.find("rm "), Bytes::npos);
}

TEST_F(DemoSiteServerTest, CountsRequestsAndLetsAHookAnswer) {
  const std::string path = "/wanben/ds/tuijian2.html";
  HttpGet(Url(hosts::kMain, path));
  HttpGet(Url(hosts::kMain, path));
  EXPECT_EQ(m_site->RequestCount(Host::Main, path), 2);
  EXPECT_EQ(m_site->RequestCount(Host::Text, path), 0);

  m_site->SetRequestHook([&](Host host, const std::string& p) -> std::optional<Reply> {
    if (host == Host::Main && p == path) return Reply{200, Bytes(2999, 'x'), "text/html"};
    return std::nullopt;
  });
  EXPECT_EQ(HttpGet(Url(hosts::kMain, path)).size(), 2999u);
  EXPECT_EQ(HttpGet(Url(hosts::kMain, "/wanben/ds/tuijian1.html")),
            m_site->ListingPage(*m_site->Find(true, 1), 1));
  EXPECT_EQ(m_site->RequestCount(Host::Main, path), 3);

  m_site->ClearRequests();
  EXPECT_TRUE(m_site->Requests(Host::Main).empty());
}

TEST_F(DemoSiteServerTest, StopsCleanlyAndFreesItsPorts) {
  const std::string url = Url(hosts::kUpdate, "/lirvo/banben");
  const int port = m_site->Port(Host::Update);
  EXPECT_GT(port, 0);
  m_site->Stop();
  m_site->Stop();  // a second stop changes nothing
  EXPECT_EQ(HttpFetch(url).status, 0);

  // The same fixed ports can be taken again at once.
  SiteOptions again = FreePorts();
  again.ports[static_cast<int>(Host::Update)] = port;
  DemoSite second(again);
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.Port(Host::Update), port);
}

TEST_F(DemoSiteServerTest, StartFailsWhenAPortIsTaken) {
  SiteOptions clash = FreePorts();
  clash.ports[static_cast<int>(Host::Image)] = m_site->Port(Host::Image);
  DemoSite second(clash);
  EXPECT_FALSE(second.Start());
  for (int k = 0; k < kHostCount; ++k) EXPECT_EQ(second.Port(static_cast<Host>(k)), 0);
  // The first site still answers.
  EXPECT_EQ(HttpGet(Url(hosts::kUpdate, "/lirvo/banben")), "1190");
}

// ---- Misbehaviour on request -------------------------------------------------

TEST(DemoSiteRateLimiter, RefusesOverTheBucketAndCountsEarlyReturns) {
  struct Step {
    double at;
    bool admitted;
  };
  // Two a second, two at once, a wait of one second after a refusal, and the
  // first 20 ms of a wait not counted.
  RateLimiter limiter(2, 2, 1, 0.02);
  const Step steps[] = {
      {0.0, true},    {0.0, true}, {0.1, false},  // 0.2 of a token: wait until 1.1
      {0.105, false},                             // already on its way: not counted early
      {0.4, false},  // early, and 0.21 + 0.59 of a token: wait until 1.4
      {1.6, true},    {1.6, true}, {1.6, false},  // the bucket refilled to its two
  };
  for (const Step& step : steps) EXPECT_EQ(limiter.Admit(step.at), step.admitted) << step.at;
  const RateLimitStats stats = limiter.Stats();
  EXPECT_EQ(stats.requests, 8);
  EXPECT_EQ(stats.refused, 4);
  EXPECT_EQ(stats.insideRetryAfter, 1);

  RateLimiter open(0, 1, 1, 0);
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(open.Admit(0));
  EXPECT_EQ(open.Stats().refused, 0);
}

TEST(DemoSiteArchiveAnswer, HonoursOneRangeUnderAMatchingValidator) {
  const ArchiveValidators v{"\"7-64\"", "Sat, 01 Jan 2011 00:00:00 GMT"};
  struct Case {
    const char* range;
    const char* ifRange;
    ArchiveAnswer expected;
  };
  const Case cases[] = {
      {"", "", {200, 0, 100, ""}},
      {"bytes=90-", "", {206, 90, 10, "bytes 90-99/100"}},
      {"bytes=90-", "\"7-64\"", {206, 90, 10, "bytes 90-99/100"}},
      {"bytes=90-", "Sat, 01 Jan 2011 00:00:00 GMT", {206, 90, 10, "bytes 90-99/100"}},
      {"bytes=90-", "\"7-65\"", {200, 0, 100, ""}},  // a changed archive: all of it
      {"bytes=10-19", "", {206, 10, 10, "bytes 10-19/100"}},
      {"bytes=10-500", "", {206, 10, 90, "bytes 10-99/100"}},
      {"bytes=-30", "", {206, 70, 30, "bytes 70-99/100"}},
      {"bytes=100-", "", {416, 0, 0, "bytes */100"}},
      {"bytes=0-1,5-6", "", {200, 0, 100, ""}},
      {"bytes=20-10", "", {200, 0, 100, ""}},
      {"items=1-", "", {200, 0, 100, ""}},
  };
  for (const Case& c : cases) {
    const ArchiveAnswer a = AnswerArchive(100, c.range, c.ifRange, v);
    EXPECT_EQ(a.status, c.expected.status) << c.range << " / " << c.ifRange;
    EXPECT_EQ(a.start, c.expected.start) << c.range;
    EXPECT_EQ(a.length, c.expected.length) << c.range;
    EXPECT_EQ(a.contentRange, c.expected.contentRange) << c.range;
  }
}

// One answer read off a raw socket: the head as sent, then as much of the
// body as its Content-Length announces or the server sends before closing.
struct RawAnswer {
  std::string head;
  std::string body;
  std::size_t announced = 0;
  std::string Header(const std::string& name) const {
    const std::size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    const std::size_t from = at + name.size() + 4;
    return head.substr(from, head.find("\r\n", from) - from);
  }
  int Status() const { return head.size() > 12 ? std::stoi(head.substr(9, 3)) : 0; }
};

class RawConnection {
 public:
  explicit RawConnection(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
    timeval limit{5, 0};  // a site that stops answering fails the test, it never hangs it
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { close(m_fd); }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  RawAnswer Get(const std::string& path, const std::string& headers = "") {
    RawAnswer answer;
    const std::string request = "GET " + path + " HTTP/1.0\r\n" + headers + "\r\n";
    if (!m_connected || send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) return answer;
    std::size_t end = std::string::npos;
    while ((end = m_pending.find("\r\n\r\n")) == std::string::npos && Read()) {
    }
    if (end == std::string::npos) return answer;
    answer.head = m_pending.substr(0, end + 2);
    m_pending.erase(0, end + 4);
    const std::string length = answer.Header("Content-Length");
    answer.announced = length.empty() ? 0 : std::stoul(length);
    while (m_pending.size() < answer.announced && Read()) {
    }
    answer.body = m_pending.substr(0, answer.announced);
    m_pending.erase(0, answer.body.size());
    return answer;
  }

 private:
  bool Read() {
    char buffer[65536];
    const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
  }
  int m_fd;
  bool m_connected = false;
  std::string m_pending;
};

TEST(DemoSiteMisbehaviour, KeepsAnHttp10ConnectionThatAsksForIt) {
  SiteOptions options = FreePorts();
  options.keepAlive = true;
  DemoSite site(options);
  ASSERT_TRUE(site.Start());
  RawConnection connection(site.Port(Host::Update));
  for (int i = 0; i < 7; ++i) {  // more than the server library keeps by default
    const RawAnswer a = connection.Get("/lirvo/banben", "Connection: Keep-Alive\r\n");
    ASSERT_EQ(a.Status(), 200) << i;
    EXPECT_EQ(a.Header("Connection"), "keep-alive");
    EXPECT_EQ(a.body, "1180");
  }
}

TEST(DemoSiteMisbehaviour, CutsAnArchivesFirstAnswerAndServesTheRestOnRange) {
  SiteOptions options = FreePorts();
  options.cutArchives = true;
  DemoSite site(options);
  ASSERT_TRUE(site.Start());
  const Entry& e = site.Find(true, 1)->pages[0].entries[0];
  const Bytes archive = site.Archive(e);
  const std::string path = "/down/2011/" + e.serial + ".rar";
  const int port = site.Port(Host::Download);

  const RawAnswer first = RawConnection(port).Get(path);
  EXPECT_EQ(first.Status(), 200);
  EXPECT_EQ(first.announced, archive.size());
  EXPECT_EQ(first.body, archive.substr(0, archive.size() / 10 * 9));  // then the close
  EXPECT_EQ(first.Header("ETag"), site.ArchiveEtag(e));
  EXPECT_EQ(first.Header("Last-Modified"), DemoSite::ArchiveLastModified());

  const std::size_t n = first.body.size();
  const RawAnswer rest = RawConnection(port).Get(
      path, "Range: bytes=" + std::to_string(n) + "-\r\nIf-Range: " + site.ArchiveEtag(e) + "\r\n");
  EXPECT_EQ(rest.Status(), 206);
  EXPECT_EQ(rest.Header("Content-Range"), "bytes " + std::to_string(n) + "-" +
                                              std::to_string(archive.size() - 1) + "/" +
                                              std::to_string(archive.size()));
  EXPECT_EQ(first.body + rest.body, archive);

  const RawAnswer stale =
      RawConnection(port).Get(path, "Range: bytes=10-\r\nIf-Range: \"old\"\r\n");
  EXPECT_EQ(stale.Status(), 200);
  EXPECT_EQ(stale.body, archive);
  EXPECT_EQ(site.Stats(Host::Download).bodyBytes,
            static_cast<std::int64_t>(n + rest.body.size() + archive.size()));
}

TEST(DemoSiteMisbehaviour, RefusesOverTheRateWithRetryAfter) {
  struct Case {
    int status;
    bool date;
  };
  for (const Case c : {Case{429, false}, Case{503, false}, Case{429, true}}) {
    SiteOptions options = FreePorts();
    options.ratePerSecond = 0.001;  // one request, then none for a quarter of an hour
    options.refuseStatus = c.status;
    options.retryAfterSeconds = 60;
    options.retryAfterDate = c.date;
    options.inFlightGraceSeconds = 0;  // the third request comes at once
    DemoSite site(options);
    ASSERT_TRUE(site.Start());
    const int port = site.Port(Host::Main);
    EXPECT_EQ(RawConnection(port).Get("/wanben/xh/tuijian1.html").Status(), 200);
    const std::time_t before = std::time(nullptr);
    const RawAnswer refused = RawConnection(port).Get("/wanben/xh/tuijian1.html");
    EXPECT_EQ(refused.Status(), c.status);
    const std::string after = refused.Header("Retry-After");
    if (c.date) {
      std::tm parts{};
      ASSERT_NE(strptime(after.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts), nullptr) << after;
      const std::time_t until = timegm(&parts);
      EXPECT_GE(until, before + 60) << after;
      EXPECT_LE(until, before + 62) << after;
    } else {
      EXPECT_EQ(after, "60");
    }
    EXPECT_EQ(RawConnection(port).Get("/wanben/xh/tuijian2.html").Status(), c.status);
    const HostStats stats = site.Stats(Host::Main);
    EXPECT_EQ(stats.requests, 3);
    EXPECT_EQ(stats.refused, 2);
    EXPECT_EQ(stats.insideRetryAfter, 1);
    EXPECT_EQ(site.Stats(Host::Text).requests, 0);
    EXPECT_EQ(site.RequestUrls().size(), 3u);  // the log keeps refused requests
  }
}

}  // namespace
}  // namespace lirvo::demo
