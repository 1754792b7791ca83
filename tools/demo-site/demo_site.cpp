#include "demo_site.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "cover_picture.h"
#include "demo_update.h"
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

// Every server gets a small pool: the program asks one thing at a time.
class SmallPool : public httplib::ThreadPool {
 public:
  SmallPool() : httplib::ThreadPool(4) {}
};

}  // namespace

struct DemoSite::Impl {
  explicit Impl(SiteOptions o) : options(std::move(o)), content(options) {}

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
  RequestHook hook;

  Reply Site(Host host, const std::string& rawPath) const;
  Bytes CoverOf(const Entry& entry) const;
};

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
    if (!m->options.keepAlive) server.http->set_keep_alive_max_count(1);
    const Host host = static_cast<Host>(i);
    Impl* impl = m.get();
    server.http->Get(".*",
                     [impl, host](const httplib::Request& request, httplib::Response& response) {
                       {
                         std::lock_guard lock(impl->logMutex);
                         impl->log[static_cast<int>(host)].push_back(request.path);
                       }
                       RequestHook hook;
                       {
                         std::lock_guard lock(impl->logMutex);
                         hook = impl->hook;
                       }
                       std::optional<Reply> reply;
                       if (hook) reply = hook(host, request.path);
                       if (!reply) reply = impl->Site(host, request.path);
                       response.status = reply->status;
                       response.set_content(reply->body, reply->contentType.c_str());
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

void DemoSite::ClearRequests() {
  std::lock_guard lock(m->logMutex);
  for (auto& log : m->log) log.clear();
}

void DemoSite::SetRequestHook(RequestHook hook) {
  std::lock_guard lock(m->logMutex);
  m->hook = std::move(hook);
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
