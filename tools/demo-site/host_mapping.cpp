// Kept apart from the site so that programs that never map hosts need not
// link the HTTP service.
#include "demo_site.h"
#include "lirvo/hosts.h"
#include "services/http.h"

namespace lirvo::demo {

void DemoSite::MapHostsForTest() const {
  SetHostMappingForTest(hosts::kMain, HostPort(Host::Main));
  SetHostMappingForTest(hosts::kText, HostPort(Host::Text));
  SetHostMappingForTest(hosts::kImage, HostPort(Host::Image));
  SetHostMappingForTest(hosts::kDownload, HostPort(Host::Download));
  SetHostMappingForTest(hosts::kUpdate, HostPort(Host::Update));
}

}  // namespace lirvo::demo
