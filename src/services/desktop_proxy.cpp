#include "services/desktop_proxy.h"

#include <proxy.h>

#include <mutex>

namespace lirvo {
namespace {

std::mutex g_mutex;  // guards the lookup replacement
DesktopProxyLookup g_lookup;

}  // namespace

std::string CurlProxyOf(const char* const* answers) {
  if (answers == nullptr) return {};
  for (; *answers != nullptr; ++answers) {
    const std::string_view answer = *answers;
    if (answer.starts_with("direct://")) return {};
    if (answer.starts_with("http://") || answer.starts_with("https://") ||
        answer.starts_with("socks4://") || answer.starts_with("socks5://"))
      return std::string(answer);
    // Plain "socks" means version 5 first; curl's socks5h lets the proxy
    // resolve the name, as a desktop's SOCKS setting expects.
    if (answer.starts_with("socks://"))
      return "socks5h://" + std::string(answer.substr(std::string_view("socks://").size()));
  }
  return {};
}

std::string DesktopProxy(const std::string& url) {
  // Made once and kept: it holds libproxy's helper for GNOME's settings and
  // its PAC cache. libproxy serves concurrent callers itself.
  static pxProxyFactory* const factory = px_proxy_factory_new();
  if (factory == nullptr) return {};
  char** answers = px_proxy_factory_get_proxies(factory, url.c_str());
  std::string proxy = CurlProxyOf(answers);
  px_proxy_factory_free_proxies(answers);
  return proxy;
}

void SetDesktopProxyLookup(DesktopProxyLookup lookup) {
  std::lock_guard lock(g_mutex);
  g_lookup = std::move(lookup);
}

std::string AskDesktopProxy(const std::string& url) {
  DesktopProxyLookup lookup;
  {
    std::lock_guard lock(g_mutex);
    lookup = g_lookup;
  }
  return lookup ? lookup(url) : DesktopProxy(url);
}

}  // namespace lirvo
