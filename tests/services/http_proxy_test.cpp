#include "services/http_proxy.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace lirvo {
namespace {

// --- Which proxy the environment names --------------------------------------

struct ProxyCase {
  const char* name;
  const char* url;
  std::map<std::string, std::string> environment;
  const char* proxy;  // "" for a direct request
};

class ProxyForTest : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyForTest, ReadsTheEnvironmentAsCurlDoes) {
  const ProxyCase& c = GetParam();
  const auto url = ParseHttpUrl(c.url);
  ASSERT_TRUE(url.has_value());
  const auto lookup = [&c](const char* name) -> std::optional<std::string> {
    const auto it = c.environment.find(name);
    if (it == c.environment.end() || it->second.empty()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(ProxyFor(*url, lookup), c.proxy);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, ProxyForTest,
    ::testing::Values(
        ProxyCase{"HttpProxy", "http://a.example/", {{"http_proxy", "p:1"}}, "p:1"},
        // A web server may set HTTP_PROXY from a request header: never used.
        ProxyCase{"UpperHttpIgnored", "http://a.example/", {{"HTTP_PROXY", "p:1"}}, ""},
        ProxyCase{"UpperHttpFallsToAll",
                  "http://a.example/",
                  {{"HTTP_PROXY", "p:1"}, {"all_proxy", "q:2"}},
                  "q:2"},
        ProxyCase{"SchemeBeatsAll",
                  "http://a.example/",
                  {{"http_proxy", "p:1"}, {"ALL_PROXY", "q:2"}},
                  "p:1"},
        ProxyCase{"UpperAll", "http://a.example/", {{"ALL_PROXY", "q:2"}}, "q:2"},
        ProxyCase{"EmptyCountsAsUnset",
                  "http://a.example/",
                  {{"http_proxy", ""}, {"all_proxy", "q:2"}},
                  "q:2"},
        ProxyCase{"HttpsUpper", "https://a.example/", {{"HTTPS_PROXY", "s:3"}}, "s:3"},
        ProxyCase{"HttpsNotHttp", "https://a.example/", {{"http_proxy", "p:1"}}, ""},
        ProxyCase{
            "NoProxyStar", "http://a.example/", {{"http_proxy", "p:1"}, {"no_proxy", "*"}}, ""},
        ProxyCase{"NoProxyUpper",
                  "http://www.a.example:8080/",
                  {{"http_proxy", "p:1"}, {"NO_PROXY", "a.example"}},
                  ""},
        ProxyCase{"LowerNoProxyWins",
                  "http://a.example/",
                  {{"http_proxy", "p:1"}, {"no_proxy", "b.example"}, {"NO_PROXY", "a.example"}},
                  "p:1"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The no_proxy list --------------------------------------------------------

struct BypassCase {
  const char* host;
  const char* noProxy;
  bool bypass;
};

class BypassTest : public ::testing::TestWithParam<BypassCase> {};

TEST_P(BypassTest, MatchesNamesAndNetworks) {
  EXPECT_EQ(BypassesProxy(GetParam().host, GetParam().noProxy), GetParam().bypass)
      << GetParam().host << " in " << GetParam().noProxy;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BypassTest,
    ::testing::Values(
        BypassCase{"example.com", "example.com", true},
        BypassCase{"www.example.com", "example.com", true},
        BypassCase{"www.example.com", ".example.com", true},
        BypassCase{"notexample.com", "example.com", false},
        BypassCase{"example.com", "www.example.com", false},
        BypassCase{"WWW.Example.com.", "example.COM.", true},
        BypassCase{"b.example", " a.example ,,\tb.example", true},
        BypassCase{"b.example", "*,b.example", true}, BypassCase{"c.example", "*,b.example", false},
        BypassCase{"c.example", "", false}, BypassCase{"127.0.0.1", "localhost", false},
        BypassCase{"127.0.0.1", "127.0.0.1", true}, BypassCase{"10.1.2.3", "10.0.0.0/8", true},
        BypassCase{"10.1.2.3", "10.1.2.4", false}, BypassCase{"10.1.2.3", "10.1.2.0/30", true},
        BypassCase{"10.1.2.4", "10.1.2.0/30", false}, BypassCase{"10.1.2.3", "10.0.0.0/33", false},
        BypassCase{"[::1]", "::1", true}, BypassCase{"[fd00::5]", "fd00::/8", true},
        BypassCase{"[fe80::1]", "fd00::/8", false}));

// --- What the proxy is sent ------------------------------------------------------

TEST(HttpProxy, SchemeDecidesWhetherTheProxyIsSentTheRequest) {
  EXPECT_TRUE(IsHttpProxy("proxy.example:3128"));
  EXPECT_TRUE(IsHttpProxy("HTTP://proxy.example:3128"));
  EXPECT_TRUE(IsHttpProxy("https://proxy.example"));
  EXPECT_FALSE(IsHttpProxy("socks5h://proxy.example:1080"));
  EXPECT_FALSE(IsHttpProxy("socks4://proxy.example"));
}

TEST(HttpProxy, AbsoluteTargetDropsUserInfoAndDefaultPort) {
  EXPECT_EQ(AbsoluteTarget(*ParseHttpUrl("http://u:p@Novels.example/d1/a b/./x/../c.html#f")),
            "http://Novels.example/d1/a b/c.html");
  EXPECT_EQ(AbsoluteTarget(*ParseHttpUrl("http://novels.example:8631/p?q=1 2")),
            "http://novels.example:8631/p?q=1 2");
  EXPECT_EQ(AbsoluteTarget(*ParseHttpUrl("http://[::1]:80")), "http://[::1]/");
}

}  // namespace
}  // namespace lirvo
