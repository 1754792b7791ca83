#include "services/http.h"

#include <atomic>
#include <cerrno>

#include "services/http_scheduler.h"
#include "services/http_transfer.h"

namespace lirvo {

namespace {

std::atomic<bool> g_cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

HttpResult HttpFetch(const Text& url, HttpKind kind) {
  HttpRequest request;
  request.url = url;
  request.kind = kind;
  return HttpSubmit(std::move(request)).Wait();
}

HttpResult HttpFetchToFile(const Text& url, const Text& file, HttpKind kind) {
  // An empty name is no file at all, not a request for the body in memory.
  if (file.empty()) return HttpResult{Bytes(), 0, false, HttpFailure::kWrite, ENOENT};
  HttpRequest request;
  request.url = url;
  request.kind = kind;
  request.file = file;
  return HttpSubmit(std::move(request)).Wait();
}

Bytes HttpGet(const Text& url, HttpKind kind) {
  return HttpFetch(url, kind).body;
}

void CancelHttpRequests() {
  g_cancelled = true;
  http_internal::WakeSchedulerFromSignal();
}

bool HttpRequestsCancelled() {
  return g_cancelled;
}

void SetHostMappingForTest(const std::string& hostPort, const std::string& loopbackHostPort) {
  http_internal::SetMapping(hostPort, loopbackHostPort);
}

void ClearHostMappingsForTest() {
  http_internal::ClearMappings();
}

void SetHttpLimitsForTest(const HttpLimits& limits) {
  http_internal::SetLimits(limits);
}

}  // namespace lirvo
