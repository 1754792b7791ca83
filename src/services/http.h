#pragma once
// HTTP fetch: GET over HTTP/1.0 with the program's fixed headers.
#include <string>

#include "services/text.h"

namespace lirvo {

struct HttpResult {
  Bytes body;          // the bytes received, also when the transfer broke
  long status = 0;     // HTTP status of the last response, 0 when none came
  bool complete = false;  // the whole body arrived (no transport error, no cut-off)
};

// The fuller call: body, status and whether the transfer completed.
HttpResult HttpFetch(const Text& url);
// The body of HttpFetch; the empty byte set on every failure.
Bytes HttpGet(const Text& url);

// Tests only: requests for "host[:port]" go to "127.0.0.1:port" instead.
void SetHostMappingForTest(const std::string& hostPort, const std::string& loopbackHostPort);
void ClearHostMappingsForTest();

struct HttpLimits {
  long connectTimeoutSeconds = 15;
  long stallSeconds = 30;                       // below 1 byte/s for this long ends a transfer
  long long maxBodyBytes = 512LL * 1024 * 1024;  // a larger body is a failed transfer
  int maxRedirects = 10;
};
// Tests only: tighter limits for hostile-server tests.
void SetHttpLimitsForTest(const HttpLimits& limits);

}  // namespace lirvo
