// The contact buttons of the main window, and the forms of the links.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "update/contact_links.h"
#include "update/links.h"
#include "update/update_fixture.h"

namespace lirvo::test {
namespace {

using ::testing::MatchesRegex;

TEST(LinksTest, FormsTheLinksKeep) {
  EXPECT_THAT(update::kAuthorLink,
              MatchesRegex("http://[a-z.]+/msgrd\\?v=[0-9]+&uin=[0-9]+&site=[a-z]+&menu=[a-z]+"));
  EXPECT_THAT(update::kGroupLink, MatchesRegex("http://[a-z.]+/wpa/qunwpa\\?idkey=[0-9a-f]{64}"));
  EXPECT_THAT(update::kScanReportPage, MatchesRegex("http://[a-z.]+/report/[0-9a-f]{32}\\.html"));
}

class ContactLinksTest : public UpdateFixture {
 protected:
  void SetUp() override {
    UpdateFixture::SetUp();
    ui::RegisterHandler(ui::Handler::MainCreated, nullptr);  // no version check here
    Start();
  }
};

TEST_F(ContactLinksTest, AuthorButtonLoadsItsLinkAndHidesItself) {
  update::MainAuthorLinkClicked();
  EXPECT_EQ(ui::BrowserUrl(mw::超文本浏览框2), update::kAuthorLink);
  EXPECT_FALSE(ui::Visible(mw::超级按钮2));
  EXPECT_EQ(ui::BrowserUrl(mw::超文本浏览框1), "");
  EXPECT_TRUE(ui::Visible(mw::超级按钮1));
}

TEST_F(ContactLinksTest, GroupButtonLoadsItsLinkAndHidesItself) {
  update::MainGroupLinkClicked();
  EXPECT_EQ(ui::BrowserUrl(mw::超文本浏览框1), update::kGroupLink);
  EXPECT_FALSE(ui::Visible(mw::超级按钮1));
  EXPECT_TRUE(ui::Visible(mw::超级按钮2));
}

}  // namespace
}  // namespace lirvo::test
