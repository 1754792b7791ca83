#include "demo_site.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "archive_answer.h"
#include "cover_picture.h"
#include "demo_update.h"
#include "rate_limiter.h"
#include "site_content.h"

namespace lirvo::demo {

namespace {

constexpr const char kTextPrefix[] = "/txt/";
constexpr const char kTextSuffix[] = "txt.html";
constexpr const char kCoverPrefix[] = "/dianzishu/UploadPic/";
constexpr const char kArchivePrefix[] = "/down/2011/";
constexpr const char kArchiveSuffix[] = ".rar";

bool StartsWith(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The part between a fixed prefix and suffix, or nullopt when the path has
// another form.
std::optional<std::string> Between(const std::string& path, std::string_view prefix,
                                   std::string_view suffix) {
  if (path.size() < prefix.size() + suffix.size() || !StartsWith(path, prefix) ||
      !EndsWith(path, suffix))
    return std::nullopt;
  return path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
}

// A fragment never reaches a server from a proper client, but one that sends
// it must not miss the page for it.
std::string WithoutFragment(const std::string& path) {
  return path.substr(0, path.find('#'));
}

// Every server gets a small pool. A kept-alive connection holds its thread
// while idle, so there are a few more than the transfers a client runs at once.
class SmallPool : public httplib::ThreadPool {
 public:
  SmallPool() : httplib::ThreadPool(8) {}
};

bool EqualsNoCase(const std::string& a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string HttpDate(std::time_t t) {
  std::tm parts{};
  gmtime_r(&t, &parts);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[parts.tm_wday],
                parts.tm_mday, kMonths[parts.tm_mon], parts.tm_year + 1900, parts.tm_hour,
                parts.tm_min, parts.tm_sec);
  return text;
}

constexpr std::size_t kArchiveChunk = 64 * 1024;

// Archives never change, so the serial and the size make a strong validator.
std::string ArchiveEtagOf(const Entry& entry) {
  char size[24];
  std::snprintf(size, sizeof size, "%zx", entry.archiveSize);
  return "\"" + entry.serial + "-" + size + "\"";
}

}  // namespace

struct DemoSite::Impl {
  explicit Impl(SiteOptions o) : options(std::move(o)), content(options) {
    for (auto& limiter : limiters)
      limiter =
          std::make_unique<RateLimiter>(options.ratePerSecond, options.rateBurst,
                                        options.retryAfterSeconds, options.inFlightGraceSeconds);
  }

  SiteOptions options;
  SiteContent content;

  struct Server {
    std::unique_ptr<httplib::Server> http;
    std::thread thread;
    int port = 0;
  };
  Server servers[kHostCount];
  bool running = false;

  mutable std::mutex coverMutex;
  mutable std::map<Text, Bytes> covers;

  mutable std::mutex logMutex;
  std::vector<std::string> log[kHostCount];
  std::vector<std::string> arrivals;  // full URLs, all hosts, in order
  RequestHook hook;

  std::unique_ptr<RateLimiter> limiters[kHostCount];
  std::atomic<std::int64_t> bodyBytes[kHostCount] = {};
  std::mutex archiveMutex;
  std::set<std::string> archivesAnswered;  // for cutArchives: only first answers are cut

  Reply Site(Host host, const std::string& rawPath) const;
  Bytes CoverOf(const Entry& entry) const;
  const Entry* ArchiveEntry(const std::string& rawPath) const;
  void Handle(Host host, const httplib::Request& request, httplib::Response& response);
  void Refuse(Host host, httplib::Response& response);
  void SendArchive(const Entry& entry, const httplib::Request& request,
                   httplib::Response& response);
};

const Entry* DemoSite::Impl::ArchiveEntry(const std::string& rawPath) const {
  if (auto serial = Between(WithoutFragment(rawPath), kArchivePrefix, kArchiveSuffix))
    return content.EntryBySerial(*serial);
  return nullptr;
}

void DemoSite::Impl::Handle(Host host, const httplib::Request& request,
                            httplib::Response& response) {
  const int h = static_cast<int>(host);
  RequestHook current;
  {
    std::lock_guard lock(logMutex);
    log[h].push_back(request.path);
    arrivals.push_back("http://" + options.bindAddress + ":" + std::to_string(servers[h].port) +
                       request.path);
    current = hook;
  }
  // The library cuts every body to a parsed Range on its own; here archives
  // answer ranges themselves and every other body goes out whole. The request
  // is the library's own object, handed to handlers as const.
  const_cast<httplib::Request&>(request).ranges.clear();
  if (options.keepAlive && EqualsNoCase(request.get_header_value("Connection"), "keep-alive"))
    response.set_header("Connection", "keep-alive");
  if (!limiters[h]->Admit(SteadySeconds())) return Refuse(host, response);

  std::optional<Reply> reply;
  if (current) reply = current(host, request.path);
  if (!reply && host == Host::Download)
    if (const Entry* entry = ArchiveEntry(request.path))
      return SendArchive(*entry, request, response);
  if (!reply) reply = Site(host, request.path);
  response.status = reply->status;
  response.set_content(reply->body, reply->contentType.c_str());
  bodyBytes[h] += static_cast<std::int64_t>(reply->body.size());
}

void DemoSite::Impl::Refuse(Host host, httplib::Response& response) {
  const int h = static_cast<int>(host);
  response.status = options.refuseStatus;
  if (options.retryAfterDate) {
    // The date has whole seconds: round up, and count the wait to that date.
    const auto now = std::chrono::system_clock::now();
    const std::time_t until =
        std::chrono::system_clock::to_time_t(now) + 1 + options.retryAfterSeconds;
    const double left =
        std::chrono::duration<double>(std::chrono::system_clock::from_time_t(until) - now).count();
    limiters[h]->WaitUntil(SteadySeconds() + left);
    response.set_header("Retry-After", HttpDate(until));
  } else {
    response.set_header("Retry-After", std::to_string(options.retryAfterSeconds));
  }
  const std::string body = "<html><body>Too many requests</body></html>";
  response.set_content(body, "text/html");
  bodyBytes[h] += static_cast<std::int64_t>(body.size());
}

void DemoSite::Impl::SendArchive(const Entry& entry, const httplib::Request& request,
                                 httplib::Response& response) {
  auto body = std::make_shared<const Bytes>(content.Archive(entry));
  const ArchiveValidators validators{ArchiveEtagOf(entry), DemoSite::ArchiveLastModified()};
  const ArchiveAnswer answer = AnswerArchive(body->size(), request.get_header_value("Range"),
                                             request.get_header_value("If-Range"), validators);
  response.status = answer.status;
  response.set_header("ETag", validators.etag);
  response.set_header("Last-Modified", validators.lastModified);
  response.set_header("Accept-Ranges", "bytes");
  if (!answer.contentRange.empty()) response.set_header("Content-Range", answer.contentRange);
  if (answer.length == 0) {  // 416: nothing to send
    response.set_content("", "text/plain");
    return;
  }
  bool cut = false;
  if (options.cutArchives) {
    std::lock_guard lock(archiveMutex);
    cut = archivesAnswered.insert(request.path).second;
  }
  const std::size_t limit = cut ? answer.length / 10 * 9 : answer.length;
  std::atomic<std::int64_t>* sent = &bodyBytes[static_cast<int>(Host::Download)];
  response.set_content_provider(
      answer.length, "application/octet-stream",
      [body, answer, limit, sent](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        // Returning false ends the answer here and closes the connection.
        if (offset >= limit) return false;
        const std::size_t n = std::min(kArchiveChunk, limit - offset);
        // Counted before the write, so a client that has read the bytes finds them counted.
        *sent += static_cast<std::int64_t>(n);
        if (sink.write(body->data() + answer.start + offset, n)) return true;
        *sent -= static_cast<std::int64_t>(n);
        return false;
      });
}

Bytes DemoSite::Impl::CoverOf(const Entry& entry) const {
  std::lock_guard lock(coverMutex);
  auto it = covers.find(entry.coverPath);
  if (it == covers.end())
    it = covers.emplace(entry.coverPath, CoverJpeg(content.CoverSeed(entry))).first;
  return it->second;
}

Reply DemoSite::Impl::Site(Host host, const std::string& rawPath) const {
  const std::string path = WithoutFragment(rawPath);
  Reply reply;
  switch (host) {
    case Host::Main: {
      int page = 0;
      if (const Category* category = content.CategoryOfListing(path, &page);
          category && page <= static_cast<int>(category->pages.size()) + 1) {
        reply.body = content.ListingPage(*category, page);
        return reply;
      }
      break;
    }
    case Host::Text:
      if (auto serial = Between(path, kTextPrefix, kTextSuffix))
        if (const Entry* entry = content.EntryBySerial(*serial)) {
          reply.body = content.DownloadPage(*entry);
          return reply;
        }
      break;
    case Host::Image:
      if (auto cover = Between(path, kCoverPrefix, ""))
        if (const Entry* entry = content.EntryByCover(*cover)) {
          reply.body = CoverOf(*entry);
          reply.contentType = "image/jpeg";
          return reply;
        }
      break;
    case Host::Download:
      if (auto serial = Between(path, kArchivePrefix, kArchiveSuffix))
        if (const Entry* entry = content.EntryBySerial(*serial)) {
          reply.body = content.Archive(*entry);
          reply.contentType = "application/octet-stream";
          return reply;
        }
      break;
    case Host::Update:
      reply.contentType = "text/plain";
      if (path == "/lirvo/banben") {
        reply.body = options.version;
        return reply;
      }
      if (path == "/lirvo/gengxincx") {
        reply.body = "http://" + options.updateHost + kUpdateProgramPath;
        return reply;
      }
      if (path == kUpdateProgramPath) {
        reply.body = kSignedUpdateProgram;
        return reply;
      }
      if (path == std::string(kUpdateProgramPath) + ".minisig") {
        reply.body = kSignedUpdateSignature;
        return reply;
      }
      break;
  }
  reply.status = 404;
  reply.contentType = "text/html";
  reply.body = content.NotFoundPage();
  return reply;
}

DemoSite::DemoSite(SiteOptions options) : m(std::make_unique<Impl>(std::move(options))) {}

DemoSite::~DemoSite() {
  Stop();
}

bool DemoSite::Start() {
  if (m->running) return true;
  for (int i = 0; i < kHostCount; ++i) {
    auto& server = m->servers[i];
    server.http = std::make_unique<httplib::Server>();
    server.http->new_task_queue = [] { return new SmallPool(); };
    // Without SO_REUSEPORT (the library's default): a second site on a port
    // that is in use must fail to start, not share the requests.
    // TCP_NODELAY (inherited by accepted sockets): the headers and the body go
    // out as separate writes, and with Nagle's rule a client's delayed ACK
    // holds every small answer back for 40 ms.
    server.http->set_socket_options([](socket_t sock) {
      int yes = 1;
      setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
      setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    });
    // A kept connection serves any number of requests (the library's default is 5).
    server.http->set_keep_alive_max_count(m->options.keepAlive ? 1000000 : 1);
    const Host host = static_cast<Host>(i);
    Impl* impl = m.get();
    server.http->Get(".*",
                     [impl, host](const httplib::Request& request, httplib::Response& response) {
                       impl->Handle(host, request, response);
                     });
    const int wanted = m->options.ports[i];
    if (wanted == 0) {
      server.port = server.http->bind_to_any_port(m->options.bindAddress);
    } else {
      server.port = server.http->bind_to_port(m->options.bindAddress, wanted) ? wanted : -1;
    }
    if (server.port <= 0) {
      server.http.reset();
      for (int k = 0; k < i; ++k) {
        m->servers[k].http->stop();
        m->servers[k].thread.join();
        m->servers[k].http.reset();
        m->servers[k].port = 0;
      }
      server.port = 0;
      return false;
    }
    httplib::Server* raw = server.http.get();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    server.thread = std::thread([raw, ended] {
      raw->listen_after_bind();
      *ended = true;
    });
    // The library's stop() does nothing until the server runs: wait for it, so
    // that a Stop() right after Start() cannot leave a thread in accept().
    while (!raw->is_running() && !*ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  m->running = true;
  return true;
}

void DemoSite::Stop() {
  if (!m || !m->running) return;
  for (auto& server : m->servers) {
    server.http->stop();
    if (server.thread.joinable()) server.thread.join();
    server.http.reset();
    server.port = 0;
  }
  m->running = false;
}

int DemoSite::Port(Host host) const {
  return m->servers[static_cast<int>(host)].port;
}

std::string DemoSite::HostPort(Host host) const {
  return m->options.bindAddress + ":" + std::to_string(Port(host));
}

const SiteOptions& DemoSite::Options() const {
  return m->options;
}

const std::vector<Category>& DemoSite::Categories() const {
  return m->content.Categories();
}

const Category* DemoSite::Find(bool completed, int index) const {
  for (const Category& category : Categories())
    if (category.completed == completed && category.index == index) return &category;
  return nullptr;
}

const Category* DemoSite::Find(bool completed, const Text& name) const {
  for (const Category& category : Categories())
    if (category.completed == completed && category.name == name) return &category;
  return nullptr;
}

Text DemoSite::ListingPage(const Category& category, int page) const {
  return m->content.ListingPage(category, page);
}

Text DemoSite::DownloadPage(const Entry& entry) const {
  return m->content.DownloadPage(entry);
}

Bytes DemoSite::Cover(const Entry& entry) const {
  return m->CoverOf(entry);
}

Bytes DemoSite::Archive(const Entry& entry) const {
  return m->content.Archive(entry);
}

Reply DemoSite::Answer(Host host, const std::string& path) const {
  return m->Site(host, path);
}

int DemoSite::RequestCount(Host host, const std::string& path) const {
  std::lock_guard lock(m->logMutex);
  const auto& log = m->log[static_cast<int>(host)];
  return static_cast<int>(std::count(log.begin(), log.end(), path));
}

std::vector<std::string> DemoSite::Requests(Host host) const {
  std::lock_guard lock(m->logMutex);
  return m->log[static_cast<int>(host)];
}

std::vector<std::string> DemoSite::RequestUrls() const {
  std::lock_guard lock(m->logMutex);
  return m->arrivals;
}

void DemoSite::ClearRequests() {
  std::lock_guard lock(m->logMutex);
  for (auto& log : m->log) log.clear();
  m->arrivals.clear();
}

void DemoSite::SetRequestHook(RequestHook hook) {
  std::lock_guard lock(m->logMutex);
  m->hook = std::move(hook);
}

HostStats DemoSite::Stats(Host host) const {
  const int h = static_cast<int>(host);
  const RateLimitStats counts = m->limiters[h]->Stats();
  return {counts.requests, counts.refused, counts.insideRetryAfter, m->bodyBytes[h].load()};
}

std::string DemoSite::ArchiveEtag(const Entry& entry) const {
  return ArchiveEtagOf(entry);
}

std::string DemoSite::ArchiveLastModified() {
  return "Sat, 01 Jan 2011 00:00:00 GMT";
}

std::vector<Entry> CollectedEntries(const Category& category, int pageCount) {
  std::vector<Entry> out;
  const int pages = std::min(pageCount, static_cast<int>(category.pages.size()));
  for (int n = 0; n < pages; ++n) {
    const Page& page = category.pages[n];
    for (int k = 0; k < page.processed; ++k)
      if (page.entries[k].recorded()) out.push_back(page.entries[k]);
  }
  return out;
}

}  // namespace lirvo::demo
