#include "services/http_transfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>

#include "services/http_proxy.h"

namespace lirvo::http_internal {

namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr long kReadBufferBytes = 102400;
constexpr long long kReserveBoundBytes = 16ll << 20;

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

// "bytes S-E/T": start and total, or -1 for what does not parse.
void ParseContentRange(std::string_view value, Transfer& t) {
  t.rangeStart = t.rangeTotal = -1;
  if (!StartsWithNoCase(value, "bytes ")) return;
  value.remove_prefix(6);
  const auto dash = value.find('-');
  const auto slash = value.find('/');
  if (dash == value.npos || slash == value.npos || slash < dash) return;
  t.rangeStart = ParseCount(TrimHeaderValue(value.substr(0, dash)));
  t.rangeTotal = ParseCount(TrimHeaderValue(value.substr(slash + 1)));
}

// Retry-After is either seconds or an HTTP date.
long long ParseRetryAfter(std::string_view value) {
  if (const long long seconds = ParseCount(value); seconds >= 0) return seconds;
  const std::string date(value);
  const time_t when = curl_getdate(date.c_str(), nullptr);
  if (when < 0) return -1;
  // time() is never ahead of the clock's fraction, so the wait never ends early.
  return std::max<long long>(0, static_cast<long long>(when - std::time(nullptr)));
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

bool RewindFile(Transfer& t) {
  if (::ftruncate(t.fd, 0) == 0 && ::lseek(t.fd, 0, SEEK_SET) == 0) return true;
  t.abort = Transfer::Abort::kWrite;
  t.writeError = errno;
  return false;
}

// A 206 continues the file only where it starts at the file's end, covers the
// same whole length and still carries the first answer's validator.
bool ContinuesTheFile(const Transfer& t) {
  const std::string validator = t.Validator();
  return t.status == 206 && t.rangeStart == t.resumeFrom && t.rangeTotal == t.wholeLength &&
         (validator.empty() || validator == t.validator);
}

// Decides at the end of the headers whether the body is wanted at all.
bool OnHeadersDone(Transfer& t) {
  if (t.status >= 100 && t.status < 200) return true;  // an interim answer
  t.headersDone = true;
  if (t.IsRedirect()) {
    // The next hop is known; the redirect page itself is not wanted.
    t.abort = Transfer::Abort::kRedirect;
    return false;
  }
  if (t.fd >= 0 && t.mayRetry && IsRetryStatus(t.status)) {
    // An error page that will be asked again must not replace what the file holds.
    t.discard = true;
  } else if (t.fd >= 0 && t.resumeFrom > 0) {
    if (ContinuesTheFile(t)) {
      t.resumed = true;
      t.received = t.resumeFrom;
    } else if (t.status == 206) {
      t.abort = Transfer::Abort::kRangeMismatch;
      return false;
    } else if (!RewindFile(t)) {
      return false;  // the whole body comes again: it starts the file over
    }
  }
  if (t.announced >= 0 && t.announced > t.maxBodyBytes - t.received) {
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
  t.responded = true;
  if (line.starts_with("HTTP/")) {
    const auto space = line.find(' ');
    t.status = space == line.npos
                   ? 0
                   : static_cast<long>(ParseCount(TrimHeaderValue(line.substr(space + 1, 4))));
    t.announced = t.rangeStart = t.rangeTotal = t.retryAfterSeconds = -1;
    t.location.clear();
    t.etag.clear();
    t.lastModified.clear();
    t.headersDone = false;
  } else if (line == "\r\n" || line == "\n") {
    if (!OnHeadersDone(t)) return 0;
  } else if (StartsWithNoCase(line, "location:")) {
    t.location = TrimHeaderValue(line.substr(9));
  } else if (StartsWithNoCase(line, "content-length:")) {
    t.announced = ParseCount(TrimHeaderValue(line.substr(15)));
  } else if (StartsWithNoCase(line, "etag:")) {
    t.etag = TrimHeaderValue(line.substr(5));
  } else if (StartsWithNoCase(line, "last-modified:")) {
    t.lastModified = TrimHeaderValue(line.substr(14));
  } else if (StartsWithNoCase(line, "content-range:")) {
    ParseContentRange(TrimHeaderValue(line.substr(14)), t);
  } else if (StartsWithNoCase(line, "retry-after:")) {
    t.retryAfterSeconds = ParseRetryAfter(TrimHeaderValue(line.substr(12)));
  }
  return line.size();
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<Transfer*>(user);
  const size_t n = size * count;
  long long& counted = t.discard ? t.discarded : t.received;
  if (counted + static_cast<long long>(n) > t.maxBodyBytes) {
    t.abort = Transfer::Abort::kTooLarge;
    return CURL_WRITEFUNC_ERROR;
  }
  if (t.discard) {
    counted += static_cast<long long>(n);
    return n;
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
  return HttpRequestsCancelled() ? 1 : 0;
}

// Sets one option; false when curl refuses it (a text over its length limit,
// say). A refused option would change what is sent, so the request stays home.
template <typename T>
bool Set(CURL* easy, CURLoption option, T value) {
  return curl_easy_setopt(easy, option, value) == CURLE_OK;
}

// The limits and the test mappings, shared by every request.
struct Settings {
  std::mutex mutex;
  HttpLimits limits;
  std::map<std::string, std::string> mappings;
  std::shared_ptr<curl_slist> connectTo;  // built from mappings; kept by running hops
};

Settings& TheSettings() {
  static Settings* const settings = new Settings;
  return *settings;
}

// Caller holds the settings' mutex.
std::shared_ptr<curl_slist> BuildConnectTo(const std::map<std::string, std::string>& mappings) {
  curl_slist* list = nullptr;
  for (const auto& [from, to] : mappings) {
    // "host" alone maps every port of that host.
    const auto bracket = from.rfind(']');
    const bool hasPort =
        from.find(':', bracket == std::string::npos ? 0 : bracket) != std::string::npos;
    std::string entry = hasPort ? from : from + ":";
    entry += ":" + to;
    list = curl_slist_append(list, entry.c_str());
  }
  return std::shared_ptr<curl_slist>(list, [](curl_slist* l) { curl_slist_free_all(l); });
}

}  // namespace

bool IsRetryStatus(long status) {
  return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

bool Transfer::IsRedirect() const {
  return IsRedirectStatus(status) && !location.empty();
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

HopSettings SettingsFor(const HttpUrl& url) {
  Settings& s = TheSettings();
  std::lock_guard lock(s.mutex);
  return HopSettings{s.limits,
                     s.mappings.count(url.HostPort()) != 0 || s.mappings.count(url.host) != 0,
                     s.connectTo};
}

HttpLimits CurrentLimits() {
  Settings& s = TheSettings();
  std::lock_guard lock(s.mutex);
  return s.limits;
}

void SetLimits(const HttpLimits& limits) {
  Settings& s = TheSettings();
  std::lock_guard lock(s.mutex);
  s.limits = limits;
}

void SetMapping(const std::string& hostPort, const std::string& loopback) {
  Settings& s = TheSettings();
  std::lock_guard lock(s.mutex);
  s.mappings[hostPort] = loopback;
  s.connectTo = BuildConnectTo(s.mappings);
}

void ClearMappings() {
  Settings& s = TheSettings();
  std::lock_guard lock(s.mutex);
  s.mappings.clear();
  s.connectTo.reset();
}

bool InitCurl() {
  // Never cleaned up: at exit OpenSSL may already be torn down.
  static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

curl_slist* RequestHeaders(long long resumeFrom, const std::string& validator) {
  // Given here, "Accept" replaces curl's own line, so it goes out once.
  std::vector<std::string> lines = {"Accept: */*", "Pragma: no-cache", "Cache-Control: no-cache",
                                    "Connection: Keep-Alive"};
  if (resumeFrom > 0) {
    lines.push_back("Range: bytes=" + std::to_string(resumeFrom) + "-");
    lines.push_back("If-Range: " + validator);
  }
  curl_slist* headers = nullptr;
  for (const std::string& line : lines) {
    curl_slist* longer = curl_slist_append(headers, line.c_str());
    if (!longer) {
      curl_slist_free_all(headers);
      return nullptr;
    }
    headers = longer;
  }
  return headers;
}

HttpFailure Prepare(CURL* e, const HttpUrl& url, const HopSettings& settings, long timeoutMs,
                    curl_slist* headers, Transfer& t) {
  // Options start clean on every hop; connections and caches survive.
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
      Set(e, CURLOPT_USERAGENT, kUserAgent) && Set(e, CURLOPT_HTTPHEADER, headers) &&
      Set(e, CURLOPT_FOLLOWLOCATION, 0L) && Set(e, CURLOPT_NOSIGNAL, 1L) &&
      Set(e, CURLOPT_BUFFERSIZE, kReadBufferBytes) &&
      (!settings.connectTo || Set(e, CURLOPT_CONNECT_TO, settings.connectTo.get())) &&
      Set(e, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds) &&
      Set(e, CURLOPT_TIMEOUT_MS, timeoutMs) &&
      Set(e, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytes) &&
      Set(e, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds) && Set(e, CURLOPT_NOPROGRESS, 0L) &&
      Set(e, CURLOPT_XFERINFOFUNCTION, OnProgress) && Set(e, CURLOPT_HEADERFUNCTION, OnHeader) &&
      Set(e, CURLOPT_HEADERDATA, &t) && Set(e, CURLOPT_WRITEFUNCTION, OnBody) &&
      Set(e, CURLOPT_WRITEDATA, &t);
  return taken ? HttpFailure::kNone : HttpFailure::kBroken;
}

}  // namespace lirvo::http_internal
