#pragma once
// While the run waits for a site (a host asked for a pause, or refused), the
// progress window's title says for which host and for how long.
#include <chrono>

#include "services/http_scheduler.h"
#include "services/text.h"

namespace lirvo::collect {

// " — 等待网站<host>：<n>秒" (n whole seconds left, rounded up), or "" when
// there is no wait.
Text SiteWaitText(const std::optional<HttpSiteWait>& wait,
                  std::chrono::steady_clock::time_point now);
// The text for the run's session now; the progress window's title status.
Text SiteWaitTitle();

}  // namespace lirvo::collect
