#pragma once
// How fast one host is asked: a share of transfers at once and a spacing
// between request starts that shrink on a refusal (429, 503) and grow back
// slowly while answers come (additive increase, multiplicative decrease), and
// the window the host asked for (Retry-After) or our own backoff.
#include <chrono>

#include "services/http.h"

namespace lirvo {

using HttpClock = std::chrono::steady_clock;

struct HostPace {
  double share = 0;  // transfers at once; 0 until the first use sets the cap
  std::chrono::milliseconds spacing{0};
  HttpClock::time_point lastStart{};
  HttpClock::time_point waitUntil{};  // no request starts before this
  int refusalsInRow = 0;
  int inFlight = 0;
};

// The backoff before the next try after `attempt` earlier ones (0 for the
// first retry): firstBackoffMs doubling up to maxBackoffMs, times `jitter`
// (the caller draws it from [0.75, 1.25)).
std::chrono::milliseconds HttpBackoff(int attempt, const HttpLimits& limits, double jitter);

// Transfers this host may have in flight now.
int AllowedTransfers(const HostPace& pace, const HttpLimits& limits);
// The earliest time the next request of this host may start.
HttpClock::time_point NextStart(const HostPace& pace);

// A refusal at `now`: Retry-After in seconds, or -1 for none (our own backoff
// with `jitter`). Returns the wait it imposes from now.
std::chrono::milliseconds OnRefusal(HostPace& pace, HttpClock::time_point now,
                                    long long retryAfterSeconds, const HttpLimits& limits,
                                    double jitter);
// An answer that is not a refusal.
void OnAnswer(HostPace& pace, const HttpLimits& limits);

}  // namespace lirvo
