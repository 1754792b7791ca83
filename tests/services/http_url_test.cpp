#include "services/http_url.h"

#include <gtest/gtest.h>

#include <string>

namespace lirvo {
namespace {

// --- Splitting -------------------------------------------------------------

struct SplitCase {
  std::string url;
  std::string scheme, host, user, password;
  int port;
  std::string target;
};

class HttpUrlSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(HttpUrlSplitTest, SplitsIntoParts) {
  const SplitCase& c = GetParam();
  const auto url = ParseHttpUrl(c.url);
  ASSERT_TRUE(url.has_value()) << c.url;
  EXPECT_EQ(url->scheme, c.scheme);
  EXPECT_EQ(url->host, c.host);
  EXPECT_EQ(url->user, c.user);
  EXPECT_EQ(url->password, c.password);
  EXPECT_EQ(url->port, c.port);
  EXPECT_EQ(url->Target(), c.target);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, HttpUrlSplitTest,
    ::testing::Values(SplitCase{"http://h/p.html", "http", "h", "", "", 80, "/p.html"},
                      SplitCase{"https://h/p", "https", "h", "", "", 443, "/p"},
                      SplitCase{"HTTP://H:8080", "http", "H", "", "", 8080, "/"},
                      SplitCase{"http://h?q=1", "http", "h", "", "", 80, "/?q=1"},
                      SplitCase{"http://u:p@ss@h:81/x", "http", "h", "u", "p@ss", 81, "/x"},
                      SplitCase{"http://u@h/", "http", "h", "u", "", 80, "/"},
                      SplitCase{"http://[::1]:8080/x", "http", "[::1]", "", "", 8080, "/x"},
                      // the fragment never goes out, also when it is empty
                      SplitCase{"http://h/txt/12txt.html#", "http", "h", "", "", 80,
                                "/txt/12txt.html"},
                      SplitCase{"http://h/a.html?x=1#top", "http", "h", "", "", 80, "/a.html?x=1"},
                      // raw bytes stay raw: spaces, GBK (0x5C trail byte too), percent signs
                      SplitCase{"http://h/a b/\xC4\xE3\xD5\x5C.html?q=1 2", "http", "h", "", "", 80,
                                "/a b/\xC4\xE3\xD5\x5C.html?q=1 2"},
                      SplitCase{"http://h/%41%2e%2E/x", "http", "h", "", "", 80, "/%41%2e%2E/x"},
                      // dot segments go from the path but not from the query
                      SplitCase{"http://h/d1/./x/../p.html?a=/../b", "http", "h", "", "", 80,
                                "/d1/p.html?a=/../b"},
                      SplitCase{"http://h/../../x", "http", "h", "", "", 80, "/x"},
                      // blanks and a line end around the URL (a text fetched from a server)
                      SplitCase{" http://h/v.exe\r\n", "http", "h", "", "", 80, "/v.exe"}));

TEST(HttpUrl, RefusesWhatIsNotAnHttpUrl) {
  for (const char* url :
       {"", "ftp://h/file", "file:///etc/passwd", "mailto:a@b", "http:/h/x", "http://", "http:///x",
        "http://h:0/", "http://h:65536/", "http://h:8a/", "http://[::1/", "//h/x", "h/x",
        "http://h/a\r\nX-Injected: 1", "http://h/a\tb"}) {
    EXPECT_FALSE(ParseHttpUrl(url).has_value()) << url;
  }
}

// --- Dot segments (RFC 3986 5.2.4) ------------------------------------------

TEST(HttpUrl, RemovesDotSegmentsAsTheRfcDoes) {
  EXPECT_EQ(RemoveDotSegments("/a/b/c/./../../g"), "/a/g");
  EXPECT_EQ(RemoveDotSegments("mid/content=5/../6"), "mid/6");
  EXPECT_EQ(RemoveDotSegments("/a/./b/."), "/a/b/");
  EXPECT_EQ(RemoveDotSegments("/a/b/.."), "/a/");
  EXPECT_EQ(RemoveDotSegments("/.."), "/");
  EXPECT_EQ(RemoveDotSegments("/a/..b/.c"), "/a/..b/.c");
  EXPECT_EQ(RemoveDotSegments("/\xC4\xE3/../\xBA\xC3"), "/\xBA\xC3");
}

// --- Redirect targets (RFC 3986 5.4 examples on an http base) ---------------

class HttpUrlResolveTest : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(HttpUrlResolveTest, ResolvesAgainstTheBase) {
  const auto base = ParseHttpUrl("http://a/b/c/d;p?q");
  ASSERT_TRUE(base.has_value());
  const auto resolved = ResolveHttpReference(*base, GetParam().first);
  ASSERT_TRUE(resolved.has_value()) << GetParam().first;
  EXPECT_EQ(resolved->Absolute(), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(
    Rfc3986, HttpUrlResolveTest,
    ::testing::Values(std::pair{"g", "http://a/b/c/g"}, std::pair{"./g", "http://a/b/c/g"},
                      std::pair{"g/", "http://a/b/c/g/"}, std::pair{"/g", "http://a/g"},
                      std::pair{"//g", "http://g/"}, std::pair{"?y", "http://a/b/c/d;p?y"},
                      std::pair{"g?y", "http://a/b/c/g?y"}, std::pair{"#s", "http://a/b/c/d;p?q"},
                      std::pair{"g#s", "http://a/b/c/g"}, std::pair{";x", "http://a/b/c/;x"},
                      std::pair{"", "http://a/b/c/d;p?q"}, std::pair{".", "http://a/b/c/"},
                      std::pair{"..", "http://a/b/"}, std::pair{"../g", "http://a/b/g"},
                      std::pair{"../..", "http://a/"}, std::pair{"../../../g", "http://a/g"},
                      std::pair{"/./g", "http://a/g"}, std::pair{"g.", "http://a/b/c/g."},
                      std::pair{"https://x:8443/y", "https://x:8443/y"},
                      // raw bytes survive resolution
                      std::pair{"../x y/\xC4\xE3.html#frag", "http://a/b/x y/\xC4\xE3.html"}));

TEST(HttpUrl, RelativeReferencesKeepTheUserInfo) {
  const auto base = ParseHttpUrl("https://u:p@h:444/dir/page");
  ASSERT_TRUE(base.has_value());
  const auto resolved = ResolveHttpReference(*base, "next");
  ASSERT_TRUE(resolved.has_value());
  EXPECT_EQ(resolved->Absolute(), "https://u:p@h:444/dir/next");
  EXPECT_EQ(resolved->user, "u");
  // an absolute Location names its own authority
  const auto elsewhere = ResolveHttpReference(*base, "//other/x");
  ASSERT_TRUE(elsewhere.has_value());
  EXPECT_FALSE(elsewhere->hasUserInfo);
  EXPECT_EQ(elsewhere->port, 443);
}

TEST(HttpUrl, RedirectsToOtherSchemesAreRefused) {
  const auto base = ParseHttpUrl("http://a/b");
  ASSERT_TRUE(base.has_value());
  EXPECT_FALSE(ResolveHttpReference(*base, "ftp://a/file").has_value());
  EXPECT_FALSE(ResolveHttpReference(*base, "javascript:alert(1)").has_value());
}

}  // namespace
}  // namespace lirvo
