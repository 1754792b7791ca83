#pragma once
// A token bucket for one host of the demo site, and the bookkeeping that tells
// a polite client from one that asks again before the wait it was given.
// Times are seconds on a steady clock, passed in, so a test can step them.
#include <cstdint>
#include <mutex>

namespace lirvo::demo {

struct RateLimitStats {
  std::int64_t requests = 0;
  std::int64_t refused = 0;
  // Requests that came while a Retry-After the host gave had not yet run out,
  // leaving out those of the first moments after it was given: a client with
  // several requests at once had those on their way before it could know.
  std::int64_t insideRetryAfter = 0;
};

class RateLimiter {
 public:
  // perSecond <= 0: every request passes (and is still counted). A window
  // opened by a refusal counts requests from `graceSeconds` after it on.
  RateLimiter(double perSecond, int burst, double retryAfterSeconds, double graceSeconds);

  // Counts one request at `now`; false when it is refused, which opens a
  // window of retryAfterSeconds in which further requests count as early.
  bool Admit(double now);
  // Opens the window until `until` instead (an HTTP date rounds the wait up).
  void WaitUntil(double until);
  RateLimitStats Stats() const;

 private:
  mutable std::mutex m_mutex;
  const double m_perSecond;
  const double m_burst;
  const double m_retryAfter;
  const double m_grace;
  double m_tokens;
  double m_last = 0;
  bool m_started = false;
  double m_windowStart = 0;  // when the refusal that opened the window came
  double m_windowEnd = 0;
  RateLimitStats m_stats;
};

}  // namespace lirvo::demo
