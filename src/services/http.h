#pragma once
// HTTP fetch: GET over HTTP/1.0 with the program's fixed headers.
#include <array>
#include <cstddef>
#include <string>

#include "services/text.h"

namespace lirvo {

// Why a request failed, for the messages that name it.
enum class HttpFailure {
  kNone,          // a response came whole (its status may still be an error)
  kBadUrl,        // the URL cannot be requested as it is
  kHostNotFound,  // the host name did not resolve
  kRefused,       // the host refused the connection (or no route to it)
  kTimedOut,      // connecting, or the body, took longer than allowed
  kTooLarge,      // the body is over the bound for its kind
  kBroken,        // the connection broke, or the answer was not HTTP
  kWrite,         // the body could not be stored (HttpFetchToFile only)
  kCancelled,     // the request, its session or the process was told to stop
};

struct HttpResult {
  Bytes body;             // the bytes received, also when the transfer broke
  long status = 0;        // HTTP status of the last response, 0 when none came
  bool complete = false;  // the whole body arrived (no transport error, no cut-off)
  HttpFailure failure = HttpFailure::kNone;
  int writeError = 0;  // errno of a failed store (kWrite)
};

// What is fetched; each kind has its own bounds on size and time.
enum class HttpKind { kPage, kCover, kArchive, kVersionText, kUpdateProgram };
inline constexpr int kHttpKindCount = 5;

// The fuller call: body, status and whether the transfer completed. Callable
// from several threads at once; each call is one request of the scheduler
// (http_scheduler.h), retries included, and waits for it.
HttpResult HttpFetch(const Text& url, HttpKind kind = HttpKind::kPage);
// Stores the body in `file` (created or truncated before the request) as it
// arrives; the result's body stays empty. A failed transfer leaves the bytes
// that arrived, except kTooLarge, which leaves the file empty; the caller
// deletes what it does not keep. A failed write ends the request at once as
// kWrite, with its errno in writeError.
HttpResult HttpFetchToFile(const Text& url, const Text& file, HttpKind kind);
// The body of HttpFetch; the empty byte set on every failure.
Bytes HttpGet(const Text& url, HttpKind kind = HttpKind::kPage);

// Ends every running request at once as failed (kCancelled), and fails every
// later one. Safe to call from a signal handler: it sets a flag and writes one
// byte to the scheduler's wake-up pipe.
void CancelHttpRequests();
bool HttpRequestsCancelled();

// Tests only: requests for "host[:port]" go to "127.0.0.1:port" instead.
void SetHostMappingForTest(const std::string& hostPort, const std::string& loopbackHostPort);
void ClearHostMappingsForTest();

struct HttpKindLimits {
  long long maxBodyBytes;  // a larger body fails the request (kTooLarge)
  long totalSeconds;       // the whole request, redirects included; 0: no bound
};

struct HttpLimits {
  long connectTimeoutSeconds = 15;  // per connection, name lookup included
  // A host that accepts the connection but sends no byte of an answer within
  // this time counts as not reached (a listener whose backlog takes the
  // handshake but nobody serves it).
  long firstByteSeconds = 20;
  // A body (or the wait for it) that averages under lowSpeedBytes a second over
  // stallSeconds ends the request (kTimedOut).
  long lowSpeedBytes = 1024;
  long stallSeconds = 30;
  // The trickle rule: once trickleGraceSeconds have passed since a try began,
  // a body that averages under minAverageBytes a second over the whole try
  // ends (kTimedOut) and is not tried again. At 16 KB/s a 300 KB archive takes
  // at most 49 s and the largest archive allowed (2 GB) a day and a half;
  // a trickle of 1100 B/s ends after 30 s.
  long minAverageBytes = 16 << 10;
  long trickleGraceSeconds = 30;
  int maxRedirects = 10;

  // Tries of one request: the first and the retries of a transient failure
  // (a refused or reset connection, a time-out, a cut body, 408, 5xx), after
  // a backoff of about firstBackoffMs, doubling up to maxBackoffMs, jittered.
  int tries = 4;
  long firstBackoffMs = 1000;
  long maxBackoffMs = 30000;
  // Answers 429 and 503 one request may meet before it ends as failed, and
  // the whole wait it may spend on them and on backoffs; a single Retry-After
  // over maxSiteWaitSeconds ends it at once.
  int refusals = 8;
  long maxSiteWaitSeconds = 60;
  // Transfers in flight, per host and in all. A refusal halves the host's
  // share (never under one) and spaces its request starts by at least
  // refusalSpacingMs, doubling on each refusal up to maxSpacingMs; every
  // answer that is not a refusal wins some of it back.
  int perHostTransfers = 4;
  int maxTransfers = 16;
  long refusalSpacingMs = 250;
  long maxSpacingMs = 2000;
  // Connection failures in a row (refused, name not found, connect or
  // first-byte time-out) after which a session gives the host up.
  int deadHostFailures = 3;

  std::array<HttpKindLimits, kHttpKindCount> kinds = {{
      {8LL << 20, 0},    // kPage: listing and download pages
      {8LL << 20, 0},    // kCover
      {2LL << 30, 0},    // kArchive
      {64LL << 10, 10},  // kVersionText: "/lirvo/banben" and the locator
      {128LL << 20, 0},  // kUpdateProgram: held in memory before it is saved
  }};

  HttpKindLimits& For(HttpKind kind) { return kinds[static_cast<std::size_t>(kind)]; }
  const HttpKindLimits& For(HttpKind kind) const { return kinds[static_cast<std::size_t>(kind)]; }
};

// Tests only: tighter limits for hostile-server tests.
void SetHttpLimitsForTest(const HttpLimits& limits);

}  // namespace lirvo
