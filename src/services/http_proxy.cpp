#include "services/http_proxy.h"

#include "services/desktop_proxy.h"

#include <arpa/inet.h>

#include <cstdlib>
#include <cstring>

namespace lirvo {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The network bits after "/" as atoi reads them: leading digits, else 0.
unsigned NetworkBits(std::string_view text) {
  unsigned bits = 0;
  for (const char c : text) {
    if (c < '0' || c > '9' || bits > 1000) break;
    bits = bits * 10 + static_cast<unsigned>(c - '0');
  }
  return bits;
}

// Whether `address` lies in `network`/`bits` (0 bits: the address itself).
bool InNetwork(int family, const std::string& address, const std::string& network, unsigned bits) {
  unsigned char a[16];
  unsigned char n[16];
  const unsigned width = family == AF_INET ? 32 : 128;
  if (bits > width) return false;
  if (inet_pton(family, address.c_str(), a) != 1 || inet_pton(family, network.c_str(), n) != 1)
    return false;
  if (bits == 0) bits = width;
  const unsigned whole = bits / 8;
  if (std::memcmp(a, n, whole) != 0) return false;
  const unsigned rest = bits % 8;
  if (rest == 0) return true;
  const auto mask = static_cast<unsigned char>(0xFF << (8 - rest));
  return ((a[whole] ^ n[whole]) & mask) == 0;
}

bool NameMatches(std::string_view name, std::string_view token) {
  if (!token.empty() && token.back() == '.') token.remove_suffix(1);
  if (!token.empty() && token.front() == '.') token.remove_prefix(1);
  if (token.size() == name.size()) return SameNoCase(token, name);
  if (token.size() < name.size()) {
    return name[name.size() - token.size() - 1] == '.' &&
           SameNoCase(token, name.substr(name.size() - token.size()));
  }
  return false;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

bool BypassesProxy(std::string_view host, std::string_view noProxy) {
  if (host.empty() || noProxy.empty()) return false;
  if (noProxy == "*") return true;

  int family = 0;  // 0 for a name
  std::string name;
  if (host.front() == '[') {
    const auto close = host.find(']');
    if (close == std::string_view::npos) return false;
    name = host.substr(1, close - 1);
    family = AF_INET6;
  } else {
    name = host;
    unsigned char probe[4];
    if (inet_pton(AF_INET, name.c_str(), probe) == 1) {
      family = AF_INET;
    } else if (name.back() == '.') {
      name.pop_back();
    }
  }

  std::size_t p = 0;
  while (p < noProxy.size()) {
    while (p < noProxy.size() && IsBlank(noProxy[p])) ++p;
    const std::size_t start = p;
    while (p < noProxy.size() && !IsBlank(noProxy[p]) && noProxy[p] != ',') ++p;
    const std::string_view token = noProxy.substr(start, p - start);
    if (!token.empty()) {
      if (family == 0) {
        if (NameMatches(name, token)) return true;
      } else {
        const auto slash = token.find('/');
        const unsigned bits =
            slash == std::string_view::npos ? 0 : NetworkBits(token.substr(slash + 1));
        if (InNetwork(family, name, std::string(token.substr(0, slash)), bits)) return true;
      }
    }
    while (p < noProxy.size() && IsBlank(noProxy[p])) ++p;
    // Anything but a comma after a name ends the list.
    if (p >= noProxy.size() || noProxy[p] != ',') break;
    while (p < noProxy.size() && noProxy[p] == ',') ++p;
  }
  return false;
}

std::string ProxyFor(const HttpUrl& url, const EnvironmentLookup& lookup) {
  std::optional<std::string> noProxy = lookup("no_proxy");
  if (!noProxy) noProxy = lookup("NO_PROXY");
  if (noProxy && BypassesProxy(url.host, *noProxy)) return {};

  // A proxy variable, even one that is not used for this URL, means the user
  // set the proxy by hand: the desktop's settings must not override it.
  bool named = false;
  for (const char* name :
       {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    named = named || lookup(name).has_value();
  // Only the origin goes to the desktop: the path may hold raw GBK bytes and
  // blanks that no URL parser takes.
  if (!named) return AskDesktopProxy(url.scheme + "://" + url.HostPort() + "/");

  std::optional<std::string> proxy = lookup(url.scheme == "https" ? "https_proxy" : "http_proxy");
  if (!proxy && url.scheme == "https") proxy = lookup("HTTPS_PROXY");
  if (!proxy) proxy = lookup("all_proxy");
  if (!proxy) proxy = lookup("ALL_PROXY");
  return proxy.value_or(std::string());
}

bool IsHttpProxy(std::string_view proxy) {
  const auto separator = proxy.find("://");
  if (separator == std::string_view::npos) return true;
  const std::string_view scheme = proxy.substr(0, separator);
  return SameNoCase(scheme, "http") || SameNoCase(scheme, "https");
}

std::string AbsoluteTarget(const HttpUrl& url) {
  const int defaultPort = url.scheme == "https" ? 443 : 80;
  std::string out = url.scheme + "://" + url.host;
  if (url.port != defaultPort) out += ":" + std::to_string(url.port);
  return out + url.Target();
}

}  // namespace lirvo
