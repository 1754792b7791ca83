#include "rate_limiter.h"

#include <algorithm>

namespace lirvo::demo {

RateLimiter::RateLimiter(double perSecond, int burst, double retryAfterSeconds, double graceSeconds)
    : m_perSecond(perSecond),
      m_burst(std::max(burst, 1)),
      m_retryAfter(retryAfterSeconds),
      m_grace(graceSeconds),
      m_tokens(m_burst) {}

bool RateLimiter::Admit(double now) {
  std::lock_guard lock(m_mutex);
  ++m_stats.requests;
  if (now < m_windowEnd && now >= m_windowStart + m_grace) ++m_stats.insideRetryAfter;
  if (m_perSecond <= 0) return true;
  if (m_started) m_tokens = std::min(m_burst, m_tokens + (now - m_last) * m_perSecond);
  m_started = true;
  m_last = now;
  if (m_tokens >= 1) {
    m_tokens -= 1;
    return true;
  }
  ++m_stats.refused;
  if (now >= m_windowEnd) m_windowStart = now;
  m_windowEnd = std::max(m_windowEnd, now + m_retryAfter);
  return false;
}

void RateLimiter::WaitUntil(double until) {
  std::lock_guard lock(m_mutex);
  m_windowEnd = std::max(m_windowEnd, until);
}

RateLimitStats RateLimiter::Stats() const {
  std::lock_guard lock(m_mutex);
  return m_stats;
}

}  // namespace lirvo::demo
