#include "services/http.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "services/blocking_call.h"
#include "services/http_proxy.h"
#include "services/http_url.h"
#include "services/native_path.h"

namespace lirvo {

namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long kReadBufferBytes = 102400;
constexpr long long kReserveBoundBytes = 16ll << 20;

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

bool IsRedirectStatus(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string_view TrimHeaderValue(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && static_cast<unsigned char>(value.back()) <= 0x20) value.remove_suffix(1);
  return value;
}

// A decimal header value such as Content-Length, or -1.
long long ParseCount(std::string_view value) {
  if (value.empty() || value.size() > 18) return -1;
  long long n = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

HttpFailure FailureOf(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return HttpFailure::kNone;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return HttpFailure::kBadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return HttpFailure::kHostNotFound;
    case CURLE_COULDNT_CONNECT:
      return HttpFailure::kRefused;
    case CURLE_OPERATION_TIMEDOUT:
      return HttpFailure::kTimedOut;
    case CURLE_FILESIZE_EXCEEDED:
      return HttpFailure::kTooLarge;
    default:
      return HttpFailure::kBroken;
  }
}

// Writes all of `data`; false with errno set when the file takes no more.
bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// One request of a fetch: what the callbacks collect while curl runs.
struct Transfer {
  enum class Abort { kNone, kTooLarge, kRedirect, kWrite };

  long long maxBodyBytes = 0;
  int fd = -1;  // the body goes into this file, or into `body` when -1
  Bytes body;
  long long received = 0;
  int writeError = 0;
  // Of the current response (a 1xx answer or a new hop starts them over).
  long status = 0;
  long long announced = -1;  // Content-Length, -1 when absent or unreadable
  std::string location;      // raw Location
  bool headersDone = false;
  Abort abort = Abort::kNone;

  bool IsRedirect() const { return IsRedirectStatus(status) && !location.empty(); }
};

// Decides at the end of the headers whether the body is wanted at all.
bool OnHeadersDone(Transfer& t) {
  if (t.status >= 100 && t.status < 200) return true;  // an interim answer
  t.headersDone = true;
  if (t.IsRedirect()) {
    // The next hop is known; the redirect page itself is not wanted.
    t.abort = Transfer::Abort::kRedirect;
    return false;
  }
  if (t.announced > t.maxBodyBytes) {
    t.abort = Transfer::Abort::kTooLarge;
    return false;
  }
  // Room for the announced body saves copies while it grows, but only up to a
  // bound: a server may announce far more than it ever sends.
  if (t.fd < 0 && t.announced > 0)
    t.body.reserve(static_cast<size_t>(std::min<long long>(t.announced, kReserveBoundBytes)));
  return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    const auto space = line.find(' ');
    t.status = space == line.npos
                   ? 0
                   : static_cast<long>(ParseCount(TrimHeaderValue(line.substr(space + 1, 4))));
    t.announced = -1;
    t.location.clear();
    t.headersDone = false;
  } else if (line == "\r\n" || line == "\n") {
    if (!OnHeadersDone(t)) return 0;
  } else if (StartsWithNoCase(line, "location:")) {
    t.location = TrimHeaderValue(line.substr(9));
  } else if (StartsWithNoCase(line, "content-length:")) {
    t.announced = ParseCount(TrimHeaderValue(line.substr(15)));
  }
  return line.size();
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t.received + static_cast<long long>(n) > t.maxBodyBytes) {
    t.abort = Transfer::Abort::kTooLarge;
    return CURL_WRITEFUNC_ERROR;
  }
  t.received += static_cast<long long>(n);
  if (t.fd < 0) {
    // std::string grows geometrically when the length was not announced.
    t.body.append(data, n);
  } else if (!WriteAll(t.fd, data, n)) {
    t.abort = Transfer::Abort::kWrite;
    t.writeError = errno;
    return CURL_WRITEFUNC_ERROR;
  }
  return n;
}

// Ends every running request, on whatever handle, once CancelHttpRequests ran.
int OnProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return g_cancelled ? 1 : 0;
}

// Sets one option; false when curl refuses it (a text over its length limit,
// say). A refused option would change what is sent, so the request stays home.
template <typename T>
bool Set(CURL* easy, CURLoption option, T value) {
  return curl_easy_setopt(easy, option, value) == CURLE_OK;
}

// One curl handle with the host mappings it was last given.
struct Handle {
  CURL* easy = nullptr;
  curl_slist* connectTo = nullptr;
  unsigned mappingsVersion = 0;
};

// What one hop needs of the client's settings, taken under its lock.
struct HopSettings {
  HttpLimits limits;
  bool mapped = false;
};

// The process-wide client root: curl handles, opened on first use and kept
// for later calls so that connections and TLS sessions carry over. A request
// takes a handle of its own, so requests on two threads never wait for each
// other. Handles are never closed: at exit OpenSSL may already be torn down.
class HttpClient {
 public:
  HttpResult Fetch(const Text& url, HttpKind kind, int fd) {
    HttpResult result;
    result.failure = HttpFailure::kBadUrl;
    if (url.empty()) return result;
    if (g_cancelled) return HttpResult{Bytes(), 0, false, HttpFailure::kBroken};
    std::optional<HttpUrl> current = ParseHttpUrl(url);
    if (!current) return result;
    Handle* handle = Acquire();
    if (!handle) return HttpResult{Bytes(), 0, false, HttpFailure::kBroken};
    result = FetchWith(*handle, std::move(*current), kind, fd);
    Release(handle);
    return result;
  }

  void SetMapping(const std::string& hostPort, const std::string& loopback) {
    std::lock_guard lock(m_mutex);
    m_mappings[hostPort] = loopback;
    ++m_mappingsVersion;
  }

  void ClearMappings() {
    std::lock_guard lock(m_mutex);
    m_mappings.clear();
    ++m_mappingsVersion;
  }

  void SetLimits(const HttpLimits& limits) {
    std::lock_guard lock(m_mutex);
    m_limits = limits;
  }

 private:
  HttpResult FetchWith(Handle& handle, HttpUrl current, HttpKind kind, int fd) {
    HttpResult result;
    std::optional<Clock::time_point> deadline;
    for (int hop = 0;; ++hop) {
      const HopSettings settings = SettingsFor(handle, current);
      const HttpKindLimits& bounds = settings.limits.For(kind);
      if (hop == 0 && bounds.totalSeconds > 0)
        deadline = Clock::now() + std::chrono::seconds(bounds.totalSeconds);
      long timeoutMs = 0;
      if (deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
        if (left.count() <= 0)
          return HttpResult{Bytes(), result.status, false, HttpFailure::kTimedOut};
        timeoutMs = static_cast<long>(left.count());
      }

      Transfer t;
      t.maxBodyBytes = bounds.maxBodyBytes;
      t.fd = fd;
      const HttpFailure setup = Prepare(handle, current, settings, timeoutMs, t);
      if (setup != HttpFailure::kNone) return HttpResult{Bytes(), result.status, false, setup};
      const CURLcode code = curl_easy_perform(handle.easy);
      curl_easy_getinfo(handle.easy, CURLINFO_RESPONSE_CODE, &result.status);

      if (t.abort == Transfer::Abort::kTooLarge) {
        // Nothing of an oversized body is kept, in memory or in the file.
        if (fd >= 0 && ::ftruncate(fd, 0) != 0) {
          return HttpResult{Bytes(), result.status, false, HttpFailure::kWrite, errno};
        }
        return HttpResult{Bytes(), result.status, false, HttpFailure::kTooLarge};
      }
      if (t.abort == Transfer::Abort::kWrite)
        return HttpResult{Bytes(), result.status, false, HttpFailure::kWrite, t.writeError};
      if (t.headersDone && t.IsRedirect()) {
        std::optional<HttpUrl> next = ResolveHttpReference(current, t.location);
        if (!next || hop >= settings.limits.maxRedirects)
          return HttpResult{Bytes(), result.status, false, HttpFailure::kBroken};
        current = std::move(*next);
        continue;
      }
      result.body = std::move(t.body);
      result.complete = code == CURLE_OK;
      result.failure = FailureOf(code);
      return result;
    }
  }

  Handle* Acquire() {
    std::lock_guard lock(m_mutex);
    if (!m_globalReady) m_globalReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!m_globalReady) return nullptr;
    if (!m_headers) {
      // Given here, "Accept" replaces curl's own line, so it goes out once.
      curl_slist* headers = nullptr;
      for (const char* header : {"Accept: */*", "Pragma: no-cache", "Cache-Control: no-cache",
                                 "Connection: Keep-Alive"}) {
        curl_slist* longer = curl_slist_append(headers, header);
        if (!longer) {
          curl_slist_free_all(headers);
          return nullptr;
        }
        headers = longer;
      }
      m_headers = headers;
    }
    if (!m_idle.empty()) {
      Handle* handle = m_idle.back();
      m_idle.pop_back();
      return handle;
    }
    CURL* easy = curl_easy_init();
    if (!easy) return nullptr;
    // The mappings are handed over before the first hop (version 0 is never current).
    return new Handle{easy, nullptr, 0};
  }

  void Release(Handle* handle) {
    std::lock_guard lock(m_mutex);
    m_idle.push_back(handle);
  }

  // The limits for one hop, and the handle's mappings brought up to date.
  HopSettings SettingsFor(Handle& handle, const HttpUrl& url) {
    std::lock_guard lock(m_mutex);
    if (handle.mappingsVersion != m_mappingsVersion) {
      if (handle.connectTo) curl_slist_free_all(handle.connectTo);
      handle.connectTo = BuildConnectTo();
      handle.mappingsVersion = m_mappingsVersion;
    }
    return HopSettings{m_limits,
                       m_mappings.count(url.HostPort()) != 0 || m_mappings.count(url.host) != 0};
  }

  // Sets up one hop on a clean handle; kNone when curl took every option.
  HttpFailure Prepare(Handle& handle, const HttpUrl& url, const HopSettings& settings,
                      long timeoutMs, Transfer& t) {
    CURL* e = handle.easy;
    // Options start clean on every request; connections and caches survive.
    curl_easy_reset(e);

    // curl would encode or refuse spaces and GBK bytes in the URL, so it gets
    // only the origin and the request line gets the path verbatim. A target
    // over curl's length limit is refused here; unchecked, "/" would go out.
    // The proxy is chosen here and handed to curl ("" for none, whatever the
    // environment says), so the request line always suits the connection: a
    // proxy that forwards plain http needs the whole URL in it. https goes
    // through a tunnel and keeps the path. A loopback mapping is direct.
    const std::string proxy = settings.mapped ? std::string() : ProxyFor(url);
    const bool forwarded = !proxy.empty() && url.scheme == "http" && IsHttpProxy(proxy);
    const std::string origin = url.scheme + "://" + url.host + ":" + std::to_string(url.port) + "/";
    const std::string target = forwarded ? AbsoluteTarget(url) : url.Target();
    const bool urlTaken = Set(e, CURLOPT_URL, origin.c_str()) &&
                          Set(e, CURLOPT_REQUEST_TARGET, target.c_str()) &&
                          (!url.hasUserInfo || (Set(e, CURLOPT_USERNAME, url.user.c_str()) &&
                                                Set(e, CURLOPT_PASSWORD, url.password.c_str())));
    if (!urlTaken) return HttpFailure::kBadUrl;

    // curl's speed floor averages over the last five seconds or so, so after a
    // burst the window may close up to that much later.
    const HttpLimits& limits = settings.limits;
    const bool taken =
        Set(e, CURLOPT_PROXY, proxy.c_str()) && Set(e, CURLOPT_NOPROXY, "") &&
        Set(e, CURLOPT_PROTOCOLS_STR, "http,https") &&
        Set(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0)) &&
        Set(e, CURLOPT_USERAGENT, kUserAgent) && Set(e, CURLOPT_HTTPHEADER, m_headers) &&
        Set(e, CURLOPT_FOLLOWLOCATION, 0L) && Set(e, CURLOPT_NOSIGNAL, 1L) &&
        Set(e, CURLOPT_BUFFERSIZE, kReadBufferBytes) &&
        (!handle.connectTo || Set(e, CURLOPT_CONNECT_TO, handle.connectTo)) &&
        Set(e, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds) &&
        Set(e, CURLOPT_TIMEOUT_MS, timeoutMs) &&
        Set(e, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes) &&
        Set(e, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds) && Set(e, CURLOPT_NOPROGRESS, 0L) &&
        Set(e, CURLOPT_XFERINFOFUNCTION, OnProgress) && Set(e, CURLOPT_HEADERFUNCTION, OnHeader) &&
        Set(e, CURLOPT_HEADERDATA, &t) && Set(e, CURLOPT_WRITEFUNCTION, OnBody) &&
        Set(e, CURLOPT_WRITEDATA, &t);
    return taken ? HttpFailure::kNone : HttpFailure::kBroken;
  }

  // Caller holds m_mutex.
  curl_slist* BuildConnectTo() const {
    curl_slist* list = nullptr;
    for (const auto& [from, to] : m_mappings) {
      // "host" alone maps every port of that host.
      const auto bracket = from.rfind(']');
      const bool hasPort =
          from.find(':', bracket == std::string::npos ? 0 : bracket) != std::string::npos;
      std::string entry = hasPort ? from : from + ":";
      entry += ":" + to;
      list = curl_slist_append(list, entry.c_str());
    }
    return list;
  }

  std::mutex m_mutex;  // guards everything below; never held during a transfer
  bool m_globalReady = false;
  curl_slist* m_headers = nullptr;  // shared by all handles, never changed once built
  std::vector<Handle*> m_idle;
  std::map<std::string, std::string> m_mappings;
  unsigned m_mappingsVersion = 1;
  HttpLimits m_limits;
};

HttpClient& Client() {
  static HttpClient* const client = new HttpClient;
  return *client;
}

}  // namespace

HttpResult HttpFetch(const Text& url, HttpKind kind) {
  HttpResult result;
  RunBlocking([&] { result = Client().Fetch(url, kind, -1); });
  return result;
}

HttpResult HttpFetchToFile(const Text& url, const Text& file, HttpKind kind) {
  HttpResult result;
  RunBlocking([&] {
    const int fd = file.empty() ? -1
                                : ::open(NativePath(file).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
      result = HttpResult{Bytes(), 0, false, HttpFailure::kWrite, file.empty() ? ENOENT : errno};
      return;
    }
    result = Client().Fetch(url, kind, fd);
    if (::close(fd) != 0 && result.failure != HttpFailure::kWrite) {
      result.complete = false;
      result.failure = HttpFailure::kWrite;
      result.writeError = errno;
    }
  });
  return result;
}

Bytes HttpGet(const Text& url, HttpKind kind) {
  return HttpFetch(url, kind).body;
}

void CancelHttpRequests() {
  g_cancelled = true;
}

bool HttpRequestsCancelled() {
  return g_cancelled;
}

void SetHostMappingForTest(const std::string& hostPort, const std::string& loopbackHostPort) {
  Client().SetMapping(hostPort, loopbackHostPort);
}

void ClearHostMappingsForTest() {
  Client().ClearMappings();
}

void SetHttpLimitsForTest(const HttpLimits& limits) {
  Client().SetLimits(limits);
}

}  // namespace lirvo
