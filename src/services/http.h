#pragma once
// HTTP fetch: GET over HTTP/1.0 with the program's fixed headers.
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

// The fuller call: body, status and whether the transfer completed.
HttpResult HttpFetch(const Text& url, HttpKind kind = HttpKind::kPage);
// Stores the body in `file` (created or truncated) as it arrives; the result's
// body stays empty. On kWrite, writeError tells why.
HttpResult HttpFetchToFile(const Text& url, const Text& file, HttpKind kind);
// The body of HttpFetch; the empty byte set on every failure.
Bytes HttpGet(const Text& url);

// Ends every running request at once as failed, and fails every later one.
// Safe to call from a signal handler (it only sets a flag).
void CancelHttpRequests();
bool HttpRequestsCancelled();

// Tests only: requests for "host[:port]" go to "127.0.0.1:port" instead.
void SetHostMappingForTest(const std::string& hostPort, const std::string& loopbackHostPort);
void ClearHostMappingsForTest();

struct HttpLimits {
  long connectTimeoutSeconds = 15;
  long stallSeconds = 30;                        // below 1 byte/s for this long ends a transfer
  long long maxBodyBytes = 512LL * 1024 * 1024;  // a larger body is a failed transfer
  int maxRedirects = 10;
};
// Tests only: tighter limits for hostile-server tests.
void SetHttpLimitsForTest(const HttpLimits& limits);

}  // namespace lirvo
