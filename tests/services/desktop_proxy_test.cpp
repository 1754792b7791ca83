// The desktop's proxy: libproxy's answers in curl's form, and GNOME's settings
// read on a private session bus (tests/support/private_session_bus.sh) when no
// proxy variable is set.
#include "services/desktop_proxy.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "services/http_proxy.h"
#include "support/scoped_environment.h"

namespace lirvo {
namespace {

TEST(DesktopProxyTest, FirstUsableAnswerInCurlsForm) {
  const struct {
    std::vector<const char*> answers;
    const char* proxy;
  } cases[] = {
      {{"socks://s.example:1080"}, "socks5h://s.example:1080"},
      {{"wpad://", "http://p.example:8080", "direct://"}, "http://p.example:8080"},
      {{"direct://", "http://p.example:8080"}, ""},
      {{"ftp://f.example"}, ""},
      {{}, ""},
  };
  for (const auto& c : cases) {
    std::vector<const char*> list = c.answers;
    list.push_back(nullptr);
    EXPECT_EQ(CurlProxyOf(list.data()), c.proxy) << (c.answers.empty() ? "" : c.answers[0]);
  }
  EXPECT_EQ(CurlProxyOf(nullptr), "");
}

// --- GNOME's settings on a private bus ---------------------------------------

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

class GnomeProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("LIRVO_PRIVATE_BUS") != "1")
      GTEST_SKIP() << "needs the private session bus of private_session_bus.sh";
    m_proxy = "http://" + Env("LIRVO_GNOME_PROXY_HOST") + ":" + Env("LIRVO_GNOME_PROXY_PORT");
  }
  static std::string For(const std::string& url) { return ProxyFor(*ParseHttpUrl(url)); }
  std::string m_proxy;
};

TEST_F(GnomeProxyTest, SettingsDecideWhenNoVariableIsSet) {
  EXPECT_EQ(For("http://novels.example/d1/a b.html"), m_proxy);
  EXPECT_EQ(For("http://novels.example:8631/"), m_proxy);
  EXPECT_EQ(For("http://" + Env("LIRVO_GNOME_EXEMPT_HOST") + "/"), "");
}

TEST_F(GnomeProxyTest, VariablesKeepTheirMeaning) {
  const struct {
    const char* name;
    const char* value;
    const char* proxy;
  } cases[] = {
      {"http_proxy", "http://env.example:1", "http://env.example:1"},
      {"all_proxy", "socks5h://env.example:2", "socks5h://env.example:2"},
      // Set by hand but never used for http: the request goes direct.
      {"HTTP_PROXY", "http://env.example:3", ""},
      {"https_proxy", "http://env.example:4", ""},
      // An exemption of the environment holds against the desktop too.
      {"no_proxy", "novels.example", ""},
  };
  for (const auto& c : cases) {
    const test::ScopedEnvironment variable(c.name, c.value);
    EXPECT_EQ(For("http://novels.example/"), c.proxy) << c.name;
  }
}

}  // namespace
}  // namespace lirvo
