#pragma once
// The user's proxy. The environment comes first and is read as curl reads it:
// <scheme>_proxy (for http only in lower case: a web server may set
// HTTP_PROXY from a request header), else all_proxy / ALL_PROXY; no_proxy /
// NO_PROXY lists the hosts that are reached directly. Empty variables count as
// unset. When no proxy variable is set at all (HTTP_PROXY included), the
// desktop's settings decide (desktop_proxy.h), after no_proxy.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "services/http_url.h"

namespace lirvo {

// Reads one environment variable; nothing when it is unset or empty.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);

// The proxy a request for `url` goes through, or the empty text for none.
// `lookup` reads the environment; the desktop is asked through AskDesktopProxy.
std::string ProxyFor(const HttpUrl& url, const EnvironmentLookup& lookup = ProcessEnvironment);

// Whether `host` (a name, an IPv4 address or a bracketed IPv6 literal) is on
// the no_proxy list: "*" takes every host; a name takes itself and the names
// below it ("example.com" and ".example.com" take "www.example.com", never
// "notexample.com"); an address takes itself or, with "/bits", its network.
bool BypassesProxy(std::string_view host, std::string_view noProxy);

// True for a proxy that is handed the request itself (HTTP or HTTPS proxy, the
// kind a proxy without a scheme is), false for a SOCKS proxy.
bool IsHttpProxy(std::string_view proxy);

// The absolute form of the request target that a proxy needs in place of the
// path: "http://host[:port]" + path and query. No user info, the default port
// left out.
std::string AbsoluteTarget(const HttpUrl& url);

}  // namespace lirvo
