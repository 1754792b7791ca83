// URL splitting and redirect resolution over arbitrary bytes, with no network
// at all. The input is a URL, or a base URL and a Location separated by the
// first newline. Checked for every URL that splits:
// - the parts are well formed: http or https, a host, a port in range, a path
//   that starts with "/" and holds no dot segments, "?" only at the query's
//   start, no fragment and no control byte in the request target;
// - splitting the URL put together again gives the same parts;
// - a Location without a scheme or "//" stays on the base's scheme and host.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/http_url.h"

namespace {

using lirvo::HttpUrl;

[[noreturn]] void Fail(const char* what, std::string_view url) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(url.size()), url.data());
  std::abort();
}

bool HasControl(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

bool HasDotSegment(std::string_view path) {
  for (std::size_t start = 0; start < path.size();) {
    std::size_t end = path.find('/', start + 1);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(start + 1, end - start - 1);
    if (segment == "." || segment == "..") return true;
    start = end;
  }
  return false;
}

bool Same(const HttpUrl& a, const HttpUrl& b) {
  return a.scheme == b.scheme && a.authority == b.authority && a.user == b.user &&
         a.password == b.password && a.hasUserInfo == b.hasUserInfo && a.host == b.host &&
         a.port == b.port && a.path == b.path && a.query == b.query;
}

void Check(const HttpUrl& url, std::string_view input) {
  if (url.scheme != "http" && url.scheme != "https") Fail("scheme", input);
  if (url.host.empty()) Fail("empty host", input);
  if (url.port < 1 || url.port > 65535) Fail("port out of range", input);
  if (url.path.empty() || url.path.front() != '/') Fail("path start", input);
  if (url.path.find_first_of("?#") != std::string::npos) Fail("path holds ? or #", input);
  if (HasDotSegment(url.path)) Fail("dot segment left", input);
  if (!url.query.empty() && url.query.front() != '?') Fail("query start", input);
  if (url.query.find('#') != std::string::npos) Fail("fragment in the query", input);
  if (HasControl(url.Target()) || HasControl(url.authority)) Fail("control byte", input);
  if (url.authority.find_first_of("/?#") != std::string::npos) Fail("authority", input);
  // Blanks before a fragment stay in the target, but end the URL put together
  // again, where they are trimmed; such URLs are not compared.
  const std::string target = url.Target();
  if (static_cast<unsigned char>(target.back()) <= 0x20) return;
  const auto again = lirvo::ParseHttpUrl(url.Absolute());
  if (!again || !Same(*again, url)) Fail("split again differs", url.Absolute());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  const auto base = lirvo::ParseHttpUrl(input.substr(0, newline));
  if (base) Check(*base, input);
  if (newline == std::string_view::npos || !base) return 0;

  const std::string_view location = input.substr(newline + 1);
  const auto next = lirvo::ResolveHttpReference(*base, location);
  if (!next) return 0;
  Check(*next, location);
  // What a redirect resolves against is trimmed the same way.
  std::string_view trimmed = location;
  while (!trimmed.empty() &&
         (static_cast<unsigned char>(trimmed.front()) <= 0x20 || trimmed.front() == 0x7F))
    trimmed.remove_prefix(1);
  bool hasScheme = false;
  for (char c : trimmed) {
    if (c == ':') {
      hasScheme = true;
      break;
    }
    if (c == '/' || c == '?' || c == '#') break;
  }
  if (!hasScheme && !trimmed.starts_with("//")) {
    if (next->scheme != base->scheme || next->authority != base->authority ||
        next->host != base->host || next->port != base->port)
      Fail("relative Location changed the host", location);
  }
  return 0;
}
