#pragma once
// One hop of a request on a curl handle: what goes out (Prepare) and what the
// callbacks collect while curl runs (Transfer). The scheduler drives the hops;
// the client settings (limits, test host mappings) live here too.
#include <curl/curl.h>

#include <memory>
#include <string>

#include "services/http.h"
#include "services/http_url.h"

namespace lirvo::http_internal {

// 408, 429 and the 5xx answers: a later try may pass.
bool IsRetryStatus(long status);
// 429 and 503: the host asks to be asked less often.
inline bool IsRefusalStatus(long status) {
  return status == 429 || status == 503;
}

struct Transfer {
  enum class Abort { kNone, kTooLarge, kRedirect, kWrite, kRangeMismatch };

  long long maxBodyBytes = 0;
  int fd = -1;  // the body goes into this file, or into `body` when -1
  Bytes body;
  long long received = 0;  // body bytes kept; a resumed file counts whole
  int writeError = 0;
  // Set by the scheduler for a try that may be followed by another: the body
  // of an answer that will be asked again is not stored in the file.
  bool mayRetry = false;
  // A resumed try: Range asked from this offset against the first answer's
  // validator and whole length.
  long long resumeFrom = 0;
  std::string validator;
  long long wholeLength = -1;

  // Of the current response (a 1xx answer or a new hop starts them over).
  bool responded = false;  // any header byte came
  long status = 0;
  long long announced = -1;  // Content-Length, -1 when absent or unreadable
  std::string location;      // raw Location
  std::string etag;
  std::string lastModified;
  long long rangeStart = -1;  // of Content-Range "bytes S-E/T"
  long long rangeTotal = -1;
  long long retryAfterSeconds = -1;  // Retry-After as seconds from now
  bool headersDone = false;
  bool discard = false;  // the body is read but not stored
  long long discarded = 0;
  bool resumed = false;  // a 206 that continues the file was accepted
  Abort abort = Abort::kNone;

  bool IsRedirect() const;
  // ETag, else Last-Modified, of the current response.
  std::string Validator() const { return etag.empty() ? lastModified : etag; }
};

HttpFailure FailureOf(CURLcode code);

// What one hop needs of the client settings.
struct HopSettings {
  HttpLimits limits;
  bool mapped = false;                    // a test mapping sends it to loopback
  std::shared_ptr<curl_slist> connectTo;  // the test mappings for curl
};

HopSettings SettingsFor(const HttpUrl& url);
HttpLimits CurrentLimits();
void SetLimits(const HttpLimits& limits);
void SetMapping(const std::string& hostPort, const std::string& loopback);
void ClearMappings();

// Readies curl once per process; false when it cannot be.
bool InitCurl();

// The fixed request headers, plus Range and If-Range for a resumed try.
// Freed with curl_slist_free_all; nullptr when memory runs out.
curl_slist* RequestHeaders(long long resumeFrom, const std::string& validator);

// Sets up one hop on a clean handle; kNone when curl took every option.
HttpFailure Prepare(CURL* easy, const HttpUrl& url, const HopSettings& settings, long timeoutMs,
                    curl_slist* headers, Transfer& t);

// Wakes the scheduler's thread; async-signal-safe (one write to a pipe).
void WakeSchedulerFromSignal();

}  // namespace lirvo::http_internal
