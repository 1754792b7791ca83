#include "collect/site_wait_title.h"

#include <string>

#include "collect/run_stop.h"
#include "services/gbk.h"

namespace lirvo::collect {

using namespace lirvo::literals;

Text SiteWaitText(const std::optional<HttpSiteWait>& wait,
                  std::chrono::steady_clock::time_point now) {
  if (!wait || wait->until <= now) return {};
  const auto left = std::chrono::ceil<std::chrono::seconds>(wait->until - now).count();
  // The default port says nothing to the user.
  std::string host = wait->hostPort;
  if (host.size() > 3 && host.compare(host.size() - 3, 3, ":80") == 0) host.resize(host.size() - 3);
  return " — 等待网站"_gbk + host + "："_gbk + std::to_string(left) + "秒"_gbk;
}

Text SiteWaitTitle() {
  return SiteWaitText(RunSession()->CurrentWait(), std::chrono::steady_clock::now());
}

}  // namespace lirvo::collect
