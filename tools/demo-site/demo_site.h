#pragma once
// The demo site: a small HTTP server that plays the e-book website (main, text,
// image and download hosts) and the update server on loopback. Its content is
// made up, GBK throughout, and follows from the seed alone, so tests can ask
// the site what a run against it must collect.
//
// Paths served (the Host header is never looked at):
//   Main     <listing path><n>.html   listing page n of a category; unknown: 404
//   Text     /txt/<serial>txt.html     a small download page
//   Image    /dianzishu/UploadPic/<cover path>   a JPEG of more than 2000 bytes
//   Download /down/2011/<serial>.rar   a zip archive (stored) of more than 30000 bytes
//   Update   /lirvo/banben             the version text (SiteOptions::version)
//            /lirvo/gengxincx          "http://" + updateHost + kUpdateProgramPath
//            kUpdateProgramPath        a harmless shell script (demo_update.h)
//            kUpdateProgramPath.minisig  its signature with the demo's key
// Every answer has a Content-Length. Unknown paths give 404 with a short page.
// Archives carry an ETag and a Last-Modified and answer one Range (206 with
// Content-Range, If-Range honoured); other bodies are always sent whole.
//
// Listing pages. A category has `pagesPerCategory` full pages (20 entries,
// 3000 bytes or more) and then one short page of fewer than 3000 bytes that
// has the list markers but no entries ("no more novels"); page numbers beyond
// that give the 404 page, which is short as well. Every entry of a page cuts,
// with the collection engine's marker arithmetic, into exactly the fields of
// its Entry below. Titles, serials and cover paths are unique in the site.
// Archives are 40000 to 90000 bytes by default, so an ongoing novel's archive
// never counts as present (300000) and a completed one always does once saved.
//
// Awkward cases live only in the three "awkward" categories: 校园小说
// (completed, index 15), 同人小说 (completed, index 12) and 同人小说 (ongoing,
// index 7). Each holds the same set; pages count from 1, entries from 1:
//   page 1, entry 3: a title whose first and last characters have the trail
//                    byte 0x5C (""): 校园小说 "錦衣天運", 同人小说 completed
//                    "誠心為謀", 同人小说 ongoing "運籌帷幄衆"
//   page 1, entry 5: three 作者头 before 作者尾; the author cut starts after the
//                    first one, so Entry::author holds the rest, markers and all
//   page 1, entry 8: empty introduction (the collector skips it; recorded() is
//                    false)
//   page 2 (if pagesPerCategory >= 2): 25 entries; only the first 20 are cut
//   page 3 (if pagesPerCategory >= 3), entry 11: no title tail marker; its title
//                    cuts empty and ends the page, so entries 12..20 are never
//                    reached (Page::processed is 11)
// So with 3 pages an awkward category records 19 + 20 + 10 = 49 novels, any
// other category 60 (CollectedEntries gives them in order).
// With SiteOptions::hostileTitles, page 1 of 校园小说 (completed) also has titles
// that try to leave the library folder: entry 10 "..\..\..\逃出书库", entry 12
// "../../../逃出书库", entry 14 "书库/越界", entry 16 "\根目录越界". Never by
// default. The file inside an archive never carries "/" or "\" in its name.
//
// Include as "demo_site.h" (the library exports its folder).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lirvo/hosts.h"
#include "services/text.h"

namespace lirvo::demo {

enum class Host { Main = 0, Text, Image, Download, Update };
inline constexpr int kHostCount = 5;

inline constexpr const char kUpdateProgramPath[] = "/lirvo/Lirvo-update.sh";

// One novel entry, its fields exactly as the collection cuts yield them.
struct Entry {
  Text serialPath;              // the novel's page path before ".html", e.g. "/wanben/xh/12345"
  Text serial;                  // its final part after the last "/", e.g. "12345"
  Text title;                   // as cut; empty for the entry without title tail marker
  Text author;                  // as cut
  Text introduction;            // as cut; empty for the empty-introduction entry
  Text coverPath;               // after "/dianzishu/UploadPic/", e.g. "fm/45/12345.jpg"
  Text shownTitle;              // the title as the page shows it (equals title but for
                                // the entry without title tail marker)
  std::size_t archiveSize = 0;  // bytes of the archive the download host serves

  // The collector writes introduction file, record and index line only for
  // entries with a title and an introduction.
  bool recorded() const { return !title.empty() && !introduction.empty(); }
};

struct Page {
  std::vector<Entry> entries;  // every entry the page serves, in order
  // Entries the page cut reaches (at most 20); counts the entry whose empty
  // title ends the page.
  int processed = 0;
};

struct Category {
  Text name;  // GBK, e.g. "玄幻小说"
  bool completed = true;
  int index = 0;            // index in the completed or the ongoing list
  Text listingPath;         // e.g. "/wanben/xh/tuijian" or "/xuanhuan/list1-"
  std::vector<Page> pages;  // the full pages; page n is pages[n - 1]
  bool awkward = false;
};

struct SiteOptions {
  std::string bindAddress = "127.0.0.1";
  int ports[kHostCount] = {8631, 8632, 8633, 8634, 8635};  // 0 picks a free port
  std::string imageHost = hosts::kImage;    // written into the cover URLs of listing pages
  std::string updateHost = hosts::kUpdate;  // written into the updater locator
  std::string version = "1180";             // served at /lirvo/banben
  std::uint32_t seed = 2011;
  int pagesPerCategory = 3;  // full listing pages per category
  // Archive sizes are drawn from [archiveMinBytes, archiveMaxBytes].
  std::size_t archiveMinBytes = 40000;
  std::size_t archiveMaxBytes = 90000;
  // Benchmark knob: when > 0, 玄幻小说 (completed) gets this many full pages
  // (50 pages = 1000 novels) and its archives take sizes from the big range.
  int bigCategoryPages = 0;
  std::size_t bigArchiveMinBytes = 100000;
  std::size_t bigArchiveMaxBytes = 500000;
  bool hostileTitles = false;  // see the header comment; never on by default
  // Off, every answer closes its connection, so Stop never waits for a client
  // that keeps an idle connection (the program's HTTP client does, between
  // tests). The standalone site turns it on, as a real website has it.
  bool keepAlive = false;

  // Misbehaviour a benchmark asks for; all off by default.
  // A token bucket per host: `ratePerSecond` requests a second, at most
  // `rateBurst` at once; what is over gets `refuseStatus` (429 or 503) with
  // Retry-After: `retryAfterSeconds`, as an HTTP date when `retryAfterDate`.
  double ratePerSecond = 0;  // 0: no limit
  int rateBurst = 1;
  int refuseStatus = 429;
  int retryAfterSeconds = 1;
  bool retryAfterDate = false;
  // Requests this soon after a refusal are not counted as inside its window
  // (HostStats::insideRetryAfter): they were sent before the answer arrived.
  double inFlightGraceSeconds = 0.02;
  // Each archive's first answer stops after 90 % of its body and the
  // connection closes.
  bool cutArchives = false;
};

// What one host of a running site has seen and sent.
struct HostStats {
  std::int64_t requests = 0;
  std::int64_t refused = 0;  // by the rate limit
  // Requests that came before a Retry-After the host gave had run out (but
  // for those within inFlightGraceSeconds of the refusal).
  std::int64_t insideRetryAfter = 0;
  std::int64_t bodyBytes = 0;  // bytes of answer bodies handed to the sockets
};

// A reply a test hook can put in place of the site's own.
struct Reply {
  int status = 200;
  Bytes body;
  std::string contentType = "text/html";
};
// Called for every request before the site answers; a value replaces the answer.
using RequestHook = std::function<std::optional<Reply>(Host, const std::string& path)>;

class DemoSite {
 public:
  explicit DemoSite(SiteOptions options = {});
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  // Binds and starts the five servers; false when a port cannot be bound.
  bool Start();
  void Stop();  // idempotent; also run by the destructor
  int Port(Host host) const;
  // "127.0.0.1:<port>", the loopback target for SetHostMappingForTest.
  std::string HostPort(Host host) const;
  // Maps the program's five hosts to this site's ports (SetHostMappingForTest).
  void MapHostsForTest() const;

  const SiteOptions& Options() const;
  // The 16 completed categories in list order, then the 8 ongoing ones.
  const std::vector<Category>& Categories() const;
  const Category* Find(bool completed, int index) const;
  const Category* Find(bool completed, const Text& name) const;

  // The exact bodies served. Page numbers start at 1; a page past the short
  // last page gives the 404 page.
  Text ListingPage(const Category& category, int page) const;
  Text DownloadPage(const Entry& entry) const;
  Bytes Cover(const Entry& entry) const;
  Bytes Archive(const Entry& entry) const;
  // The ETag (quoted) and Last-Modified the download host sends with an archive.
  std::string ArchiveEtag(const Entry& entry) const;
  static std::string ArchiveLastModified();
  // The answer to one request without the network: status and body.
  Reply Answer(Host host, const std::string& path) const;

  // Request log, for tests: how often a path was asked for on a host.
  int RequestCount(Host host, const std::string& path) const;
  std::vector<std::string> Requests(Host host) const;
  // Every request to any host, refused ones too, in the order they came, as
  // full URLs ("http://127.0.0.1:<port><path>"), kept after Stop.
  std::vector<std::string> RequestUrls() const;
  void ClearRequests();
  void SetRequestHook(RequestHook hook);
  HostStats Stats(Host host) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m;
};

// The entries a run over pages 1..pageCount of the category records, in
// order: entries the cut reaches with a title and an introduction.
std::vector<Entry> CollectedEntries(const Category& category, int pageCount);

}  // namespace lirvo::demo
