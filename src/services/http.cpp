#include "services/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>

#include "services/blocking_call.h"
#include "services/files.h"
#include "services/http_proxy.h"
#include "services/http_url.h"

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
    case CURLE_ABORTED_BY_CALLBACK:
      return HttpFailure::kTimedOut;
    case CURLE_FILESIZE_EXCEEDED:
      return HttpFailure::kTooLarge;
    default:
      return HttpFailure::kBroken;
  }
}

// One request of a fetch: what the callbacks collect while curl runs.
struct Transfer {
  enum class Abort { kNone, kTooLarge, kRedirect };

  long long maxBodyBytes = 0;
  long stallSeconds = 0;
  Bytes body;
  // Of the current response (a 1xx answer or a new hop starts them over).
  long status = 0;
  long long announced = -1;  // Content-Length, -1 when absent or unreadable
  std::string location;      // raw Location
  bool headersDone = false;
  Abort abort = Abort::kNone;
  // Silence watch: set when the response starts, moved on by every body byte.
  std::optional<Clock::time_point> lastByteAt;
  curl_off_t lastDownloaded = 0;

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
  if (t.announced > 0)
    t.body.reserve(static_cast<size_t>(std::min<long long>(t.announced, kReserveBoundBytes)));
  return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const std::string_view line(data, size * count);
  t.lastByteAt = Clock::now();
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
  if (static_cast<long long>(t.body.size() + n) > t.maxBodyBytes) {
    t.abort = Transfer::Abort::kTooLarge;
    return CURL_WRITEFUNC_ERROR;
  }
  // std::string grows geometrically when the length was not announced.
  t.body.append(data, n);
  return n;
}

// Ends a transfer whose response began but then sent nothing for the stall
// time. curl's own low-speed check averages over about five seconds, which
// would stretch the wait after a burst of data.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t) {
  auto& t = *static_cast<Transfer*>(user);
  if (g_cancelled) return 1;
  if (!t.lastByteAt || t.stallSeconds <= 0) return 0;
  const auto now = Clock::now();
  if (downloaded != t.lastDownloaded) {
    t.lastDownloaded = downloaded;
    t.lastByteAt = now;
    return 0;
  }
  return now - *t.lastByteAt >= std::chrono::seconds(t.stallSeconds) ? 1 : 0;
}

// The process-wide client root: one curl easy handle, opened on first use and
// reused by every later call so that connections and TLS sessions carry over.
// It is never closed: at exit OpenSSL may already be torn down.
class HttpClient {
 public:
  HttpResult Fetch(const Text& url) {
    std::lock_guard lock(m_mutex);
    HttpResult result;
    result.failure = HttpFailure::kBadUrl;
    if (url.empty()) return result;
    if (g_cancelled) return HttpResult{Bytes(), 0, false, HttpFailure::kBroken};
    std::optional<HttpUrl> current = ParseHttpUrl(url);
    result.failure = HttpFailure::kBadUrl;
    if (!current || !Open()) return result;

    for (int hop = 0;; ++hop) {
      Transfer t;
      const CURLcode code = Perform(*current, t);
      curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &result.status);
      if (t.abort == Transfer::Abort::kTooLarge)
        return HttpResult{Bytes(), result.status, false, HttpFailure::kTooLarge};

      if (t.headersDone && t.IsRedirect()) {
        current = ResolveHttpReference(*current, t.location);
        if (!current || hop >= m_limits.maxRedirects)
          return HttpResult{Bytes(), result.status, false, HttpFailure::kBroken};
        continue;
      }
      result.body = std::move(t.body);
      result.complete = code == CURLE_OK;
      result.failure = FailureOf(code);
      return result;
    }
  }

  void SetMapping(const std::string& hostPort, const std::string& loopback) {
    std::lock_guard lock(m_mutex);
    m_mappings[hostPort] = loopback;
    RebuildConnectTo();
  }

  void ClearMappings() {
    std::lock_guard lock(m_mutex);
    m_mappings.clear();
    RebuildConnectTo();
  }

  void SetLimits(const HttpLimits& limits) {
    std::lock_guard lock(m_mutex);
    m_limits = limits;
  }

 private:
  bool Open() {
    if (!m_globalReady) m_globalReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!m_globalReady) return false;
    if (!m_easy) m_easy = curl_easy_init();
    if (m_easy && !m_headers) {
      // Given here, "Accept" replaces curl's own line, so it goes out once.
      for (const char* header : {"Accept: */*", "Pragma: no-cache", "Cache-Control: no-cache",
                                 "Connection: Keep-Alive"}) {
        m_headers = curl_slist_append(m_headers, header);
      }
    }
    return m_easy != nullptr && m_headers != nullptr;
  }

  CURLcode Perform(const HttpUrl& url, Transfer& t) {
    CURL* e = m_easy;
    // Options start clean on every request; connections and caches survive.
    curl_easy_reset(e);
    t.maxBodyBytes = m_limits.maxBodyBytes;
    t.stallSeconds = m_limits.stallSeconds;

    // The proxy is chosen here and handed to curl ("" for none, whatever the
    // environment says), so the request line always suits the connection: a
    // proxy that forwards plain http needs the whole URL in it. https goes
    // through a tunnel and keeps the path. A loopback mapping is direct.
    const std::string proxy = IsMapped(url) ? std::string() : ProxyFor(url);
    const bool forwarded = !proxy.empty() && url.scheme == "http" && IsHttpProxy(proxy);
    curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "");

    // curl would encode or refuse spaces and GBK bytes in the URL, so it gets
    // only the origin and the request line gets the path verbatim.
    const std::string origin = url.scheme + "://" + url.host + ":" + std::to_string(url.port) + "/";
    const std::string target = forwarded ? AbsoluteTarget(url) : url.Target();
    curl_easy_setopt(e, CURLOPT_URL, origin.c_str());
    curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    if (url.hasUserInfo) {
      curl_easy_setopt(e, CURLOPT_USERNAME, url.user.c_str());
      curl_easy_setopt(e, CURLOPT_PASSWORD, url.password.c_str());
    }
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReadBufferBytes);
    if (m_connectTo) curl_easy_setopt(e, CURLOPT_CONNECT_TO, m_connectTo);

    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, m_limits.connectTimeoutSeconds);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, m_limits.stallSeconds);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &t);

    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    return curl_easy_perform(e);
  }

  bool IsMapped(const HttpUrl& url) const {
    return m_mappings.count(url.HostPort()) != 0 || m_mappings.count(url.host) != 0;
  }

  void RebuildConnectTo() {
    if (m_connectTo) curl_slist_free_all(m_connectTo);
    m_connectTo = nullptr;
    for (const auto& [from, to] : m_mappings) {
      // "host" alone maps every port of that host.
      const auto bracket = from.rfind(']');
      const bool hasPort =
          from.find(':', bracket == std::string::npos ? 0 : bracket) != std::string::npos;
      std::string entry = hasPort ? from : from + ":";
      entry += ":" + to;
      m_connectTo = curl_slist_append(m_connectTo, entry.c_str());
    }
  }

  std::mutex m_mutex;  // the program calls from one thread; tests may not
  bool m_globalReady = false;
  CURL* m_easy = nullptr;
  curl_slist* m_headers = nullptr;
  curl_slist* m_connectTo = nullptr;
  std::map<std::string, std::string> m_mappings;
  HttpLimits m_limits;
};

HttpClient& Client() {
  static HttpClient* const client = new HttpClient;
  return *client;
}

}  // namespace

HttpResult HttpFetch(const Text& url, HttpKind) {
  HttpResult result;
  RunBlocking([&] { result = Client().Fetch(url); });
  return result;
}

HttpResult HttpFetchToFile(const Text& url, const Text& file, HttpKind kind) {
  HttpResult result = HttpFetch(url, kind);
  if (!WriteFile(file, result.body)) {
    result.failure = HttpFailure::kWrite;
    result.writeError = errno;
  }
  result.body.clear();
  return result;
}

Bytes HttpGet(const Text& url) {
  return HttpFetch(url).body;
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
