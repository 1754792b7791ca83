#include "services/http_pacing.h"

#include <algorithm>
#include <cmath>

namespace lirvo {

namespace {

using std::chrono::milliseconds;

double Cap(const HttpLimits& limits) {
  return std::max(1, limits.perHostTransfers);
}

// A host first seen, or a cap lowered by a test, starts at the cap.
double Share(const HostPace& pace, const HttpLimits& limits) {
  return pace.share <= 0 ? Cap(limits) : std::min(pace.share, Cap(limits));
}

}  // namespace

milliseconds HttpBackoff(int attempt, const HttpLimits& limits, double jitter) {
  double wait = static_cast<double>(limits.firstBackoffMs);
  for (int i = 0; i < attempt && wait < limits.maxBackoffMs; ++i) wait *= 2;
  wait = std::min(wait, static_cast<double>(limits.maxBackoffMs));
  return milliseconds(static_cast<long long>(wait * jitter));
}

int AllowedTransfers(const HostPace& pace, const HttpLimits& limits) {
  return std::max(1, static_cast<int>(std::floor(Share(pace, limits))));
}

HttpClock::time_point NextStart(const HostPace& pace) {
  return std::max(pace.waitUntil, pace.lastStart + pace.spacing);
}

milliseconds OnRefusal(HostPace& pace, HttpClock::time_point now, long long retryAfterSeconds,
                       const HttpLimits& limits, double jitter) {
  pace.share = std::max(1.0, Share(pace, limits) / 2);
  pace.spacing = std::clamp(pace.spacing * 2, milliseconds(limits.refusalSpacingMs),
                            milliseconds(std::max(limits.refusalSpacingMs, limits.maxSpacingMs)));
  const milliseconds wait = retryAfterSeconds >= 0
                                ? std::chrono::seconds(retryAfterSeconds)
                                : HttpBackoff(pace.refusalsInRow, limits, jitter);
  ++pace.refusalsInRow;
  pace.waitUntil = std::max(pace.waitUntil, now + wait);
  return wait;
}

void OnAnswer(HostPace& pace, const HttpLimits& limits) {
  pace.refusalsInRow = 0;
  const double share = Share(pace, limits);
  // About one more transfer per round of answers, and a sixteenth less
  // spacing each: the rate comes back over a dozen answers or so, so a site
  // that limits its rate is met near its limit rather than in bursts.
  pace.share = std::min(Cap(limits), share + 1 / share);
  pace.spacing = pace.spacing * 15 / 16;
  if (pace.spacing < milliseconds(10)) pace.spacing = milliseconds(0);
}

}  // namespace lirvo
