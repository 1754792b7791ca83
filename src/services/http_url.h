#pragma once
// URL splitting and reference resolution for the HTTP fetch. Works on raw
// bytes: spaces and GBK bytes pass through unchanged, nothing is percent-encoded
// or decoded.
#include <optional>
#include <string>
#include <string_view>

namespace lirvo {

struct HttpUrl {
  std::string scheme;     // "http" or "https", lower case
  std::string authority;  // as written: [user[:password]@]host[:port]
  std::string user;
  std::string password;
  bool hasUserInfo = false;
  std::string host;   // as written; an IPv6 literal keeps its brackets
  int port = 0;       // the explicit port, else 80 or 443
  std::string path;   // dot segments resolved, never empty, starts with "/"
  std::string query;  // with its leading "?", or empty

  // What the request line carries: path and query, without any fragment.
  std::string Target() const { return path + query; }
  // scheme://authority + target: the URL that redirects resolve against.
  std::string Absolute() const { return scheme + "://" + authority + Target(); }
  // "host:port", the key of the loopback mapping.
  std::string HostPort() const { return host + ":" + std::to_string(port); }
};

// Splits an absolute http or https URL. Leading and trailing blanks and control
// bytes are dropped; the fragment ("#" and after) is cut off. Gives nothing for
// any other scheme, an empty host, a bad port or a control byte inside the URL.
std::optional<HttpUrl> ParseHttpUrl(std::string_view url);

// Resolves a redirect's Location (absolute, scheme-relative, absolute-path or
// relative) against the URL that answered with it.
std::optional<HttpUrl> ResolveHttpReference(const HttpUrl& base, std::string_view reference);

// Removes "." and ".." segments from a path (RFC 3986 5.2.4).
std::string RemoveDotSegments(std::string_view path);

}  // namespace lirvo
