#pragma once
// The proxy the desktop's own settings give a URL: GNOME's or KDE's proxy
// settings, a PAC script or WPAD, as libproxy reads them.
#include <functional>
#include <string>
#include <string_view>

namespace lirvo {

// Asks the desktop for the proxy of `url` ("scheme://host:port/"). The answer
// is in curl's form ("http://host:port", "socks5h://host:port") or the empty
// text for a direct request.
using DesktopProxyLookup = std::function<std::string(const std::string& url)>;
std::string DesktopProxy(const std::string& url);

// libproxy's answer list (its first usable entry) in curl's form; "" for
// direct, for an empty list and for kinds curl cannot use.
std::string CurlProxyOf(const char* const* answers);

// Tests: replaces the desktop lookup; nullptr restores libproxy.
void SetDesktopProxyLookup(DesktopProxyLookup lookup);
// The lookup ProxyFor uses: the replacement, else libproxy.
std::string AskDesktopProxy(const std::string& url);

}  // namespace lirvo
