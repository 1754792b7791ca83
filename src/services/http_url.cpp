#include "services/http_url.h"

#include <algorithm>

namespace lirvo {

namespace {

bool IsAsciiAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= 0x20 || c == 0x7F;
}
bool IsControl(char c) {
  return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The scheme of an absolute reference ("http" of "http://..."), or nothing when
// the reference does not start with one.
std::optional<std::string_view> SchemeOf(std::string_view ref) {
  if (ref.empty() || !IsAsciiAlpha(ref[0])) return std::nullopt;
  for (std::size_t i = 1; i < ref.size(); ++i) {
    const char c = ref[i];
    if (c == ':') return ref.substr(0, i);
    if (!IsAsciiAlpha(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') break;
  }
  return std::nullopt;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsControlOrBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsControlOrBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SplitAuthority(std::string_view authority, HttpUrl& url) {
  std::string_view hostPort = authority;
  // The last "@" ends the user info: a password may hold "@" itself.
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    const std::string_view info = authority.substr(0, at);
    hostPort = authority.substr(at + 1);
    url.hasUserInfo = true;
    if (const auto colon = info.find(':'); colon != std::string_view::npos) {
      url.user = info.substr(0, colon);
      url.password = info.substr(colon + 1);
    } else {
      url.user = info;
    }
  }
  std::string_view portText;
  if (!hostPort.empty() && hostPort.front() == '[') {
    const auto close = hostPort.find(']');
    if (close == std::string_view::npos) return false;
    url.host = hostPort.substr(0, close + 1);
    const std::string_view rest = hostPort.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      portText = rest.substr(1);
    }
  } else {
    const auto colon = hostPort.rfind(':');
    url.host = hostPort.substr(0, colon);
    if (colon != std::string_view::npos) portText = hostPort.substr(colon + 1);
  }
  if (url.host.empty() || url.host == "[]") return false;
  url.port = url.scheme == "https" ? 443 : 80;
  if (!portText.empty()) {
    if (portText.size() > 5 || !std::all_of(portText.begin(), portText.end(), IsAsciiDigit)) {
      return false;
    }
    const int port = std::stoi(std::string(portText));
    if (port < 1 || port > 65535) return false;
    url.port = port;
  }
  return true;
}

// Fills path and query from what follows the authority (fragment already cut).
void SplitPathAndQuery(std::string_view rest, HttpUrl& url) {
  const auto question = rest.find('?');
  const std::string_view path = rest.substr(0, question);
  url.query =
      question == std::string_view::npos ? std::string() : std::string(rest.substr(question));
  url.path = RemoveDotSegments(path);
  if (url.path.empty() || url.path.front() != '/') url.path = "/" + url.path;
}

}  // namespace

std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  const auto dropLastSegment = [&out] {
    const auto slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash);
  };
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.remove_prefix(3);
    } else if (in.starts_with("./")) {
      in.remove_prefix(2);
    } else if (in.starts_with("/./")) {
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../")) {
      in.remove_prefix(3);
      dropLastSegment();
    } else if (in == "/..") {
      in = "/";
      dropLastSegment();
    } else if (in == "." || in == "..") {
      in = {};
    } else {
      const auto next = in.find('/', 1);
      const std::string_view segment = in.substr(0, next);
      out += segment;
      in.remove_prefix(segment.size());
    }
  }
  return out;
}

std::optional<HttpUrl> ParseHttpUrl(std::string_view url) {
  url = Trim(url);
  if (std::any_of(url.begin(), url.end(), IsControl)) return std::nullopt;
  // The fragment is never sent; "txt.html#" ends many of the site's addresses.
  url = url.substr(0, url.find('#'));

  const auto scheme = SchemeOf(url);
  if (!scheme) return std::nullopt;
  HttpUrl out;
  out.scheme = Lower(*scheme);
  if (out.scheme != "http" && out.scheme != "https") return std::nullopt;
  std::string_view rest = url.substr(scheme->size() + 1);
  if (!rest.starts_with("//")) return std::nullopt;
  rest.remove_prefix(2);

  const auto authorityEnd = std::min(rest.find('/'), rest.find('?'));
  const std::string_view authority = rest.substr(0, authorityEnd);
  out.authority = authority;
  if (!SplitAuthority(authority, out)) return std::nullopt;
  SplitPathAndQuery(
      authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd), out);
  return out;
}

std::optional<HttpUrl> ResolveHttpReference(const HttpUrl& base, std::string_view reference) {
  const std::string_view ref = Trim(reference);
  if (SchemeOf(ref)) return ParseHttpUrl(ref);
  if (ref.starts_with("//")) return ParseHttpUrl(base.scheme + ":" + std::string(ref));

  const std::string prefix = base.scheme + "://" + base.authority;
  if (ref.starts_with("/")) return ParseHttpUrl(prefix + std::string(ref));
  if (ref.empty() || ref.starts_with("#")) return ParseHttpUrl(base.Absolute());
  if (ref.starts_with("?")) return ParseHttpUrl(prefix + base.path + std::string(ref));
  // A relative path replaces the last segment of the base path.
  const std::string directory = base.path.substr(0, base.path.rfind('/') + 1);
  return ParseHttpUrl(prefix + directory + std::string(ref));
}

}  // namespace lirvo
