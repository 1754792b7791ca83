// The version check at start: the offer, the unseen close, a server that is down.
#include <gtest/gtest.h>

#include <chrono>

#include "app/register.h"
#include "support/raw_server.h"
#include "update/self_update.h"
#include "update/update_fixture.h"
#include "update/version_check.h"

namespace lirvo::test {
namespace {

// ---- comparison of the two version texts

struct VersionCase {
  const char* remote;  // UTF-8
  bool newer;
};

class IsNewerVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(IsNewerVersionTest, ComparedAsNumbersWithMargin) {
  EXPECT_EQ(update::IsNewerVersion("1180", Utf8ToGbk(GetParam().remote)), GetParam().newer);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, IsNewerVersionTest,
    ::testing::Values(VersionCase{"1190", true}, VersionCase{"1180", false},
                      VersionCase{"1179", false}, VersionCase{"1180.00000005", false},
                      VersionCase{"1180.0000002", true}, VersionCase{"1190\r\n", true},
                      VersionCase{" 1181", true}, VersionCase{"１１９０", true},
                      VersionCase{"1180.0", false}, VersionCase{"", false},
                      VersionCase{"版本1190", false}, VersionCase{"<html>404</html>", false},
                      // texts are never compared as texts
                      VersionCase{"999", false}, VersionCase{"10000", true},
                      // only decimal numbers: no hexadecimal, no C library words
                      VersionCase{"0x500", false}, VersionCase{"inf", false},
                      VersionCase{"nan", false}));

// ---- the check in the running windows

class VersionCheckTest : public UpdateFixture {
 protected:
  void StartWithVersionText(const std::string& body) {
    RawServer server(RawScript().Send(HttpResponse(200, body)));
    MapUpdateHost(server.HostPort());
    Start();
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/lirvo/banben");
  }
  void ExpectOffer(const Text& shown) {
    ASSERT_TRUE(ui::IsLoaded(ui::Window::Update));
    EXPECT_TRUE(ui::Visible(uw::窗口));
    EXPECT_TRUE(ui::Visible(mw::窗口));
    EXPECT_EQ(ui::EditText(uw::编辑框3), shown);
  }
  void ExpectNoOffer() {
    EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
    EXPECT_TRUE(ui::Visible(mw::窗口));
  }
};

TEST_F(VersionCheckTest, NewerVersionShowsTheOfferAboveTheMainWindow) {
  StartWithVersionText("1190");
  ExpectOffer("1190");
}

TEST_F(VersionCheckTest, TinyButRealStepIsOffered) {
  StartWithVersionText("1180.0000002");
  ExpectOffer("1180.0000002");
}

TEST_F(VersionCheckTest, TrailingLineEndIsKeptAndIgnoredByTheComparison) {
  StartWithVersionText("1190\r\n");
  ExpectOffer("1190\r\n");
}

TEST_F(VersionCheckTest, TextUpToFirstNulIsShown) {
  StartWithVersionText(std::string("1190\0junk", 9));
  ExpectOffer("1190");
}

class NoOfferTest : public VersionCheckTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NoOfferTest, WindowClosesUnseen) {
  StartWithVersionText(GetParam());
  ExpectNoOffer();
}

INSTANTIATE_TEST_SUITE_P(SameOlderOrNoNumber, NoOfferTest,
                         ::testing::Values("1180", "1179", "1180.00000005", "", "not a number"));

// A server that is gone, that never answers or that trickles: the main window
// is up at once and the check waits in the background, hidden.
TEST_F(VersionCheckTest, SlowOrMissingServerDoesNotHoldUpTheStart) {
  RawScript trickle = RawScript().Send("HTTP/1.0 200 OK\r\n\r\n");
  for (int i = 0; i < 60; ++i) trickle.Pause(std::chrono::milliseconds(500)).Send("0");
  const RefusingPort gone;
  ASSERT_GT(gone.Port(), 0);
  RawServer hung(RawScript().Stall());
  RawServer trickling(trickle);
  for (RawServer* server : {static_cast<RawServer*>(nullptr), &hung, &trickling}) {
    SCOPED_TRACE(server == nullptr ? "refused" : server == &hung ? "hung" : "trickling");
    MapUpdateHost(server == nullptr ? gone.HostPort() : server->HostPort());
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
    ui::ProcessPendingEvents();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
    EXPECT_TRUE(ui::Visible(mw::窗口));
    if (server != nullptr) {
      EXPECT_TRUE(ui::IsLoaded(ui::Window::Update) && !ui::Visible(uw::窗口));
      // Once the request is in, stopping cuts the answer, which reads as no version.
      EXPECT_TRUE(RunUntil([server] { return server->ConnectionCount() > 0; }));
      server->Stop();
    }
    EXPECT_TRUE(RunUntil([] { return !ui::IsLoaded(ui::Window::Update); }));
    ui::CloseWindow(ui::Window::Main);
    ui::ProcessPendingEvents();
  }
}

// A run hides the main window; an offer that comes after that is dropped.
TEST_F(VersionCheckTest, AnswerAfterTheMainWindowWentIsDropped) {
  RawServer server(
      RawScript().Pause(std::chrono::milliseconds(300)).Send(HttpResponse(200, "1190")));
  MapUpdateHost(server.HostPort());
  ASSERT_TRUE(ui::OpenWindow(ui::Window::Main));
  ui::SetVisible(mw::窗口, false);
  EXPECT_TRUE(RunUntil([] { return !ui::IsLoaded(ui::Window::Update); }));
  EXPECT_FALSE(ui::Visible(mw::窗口));
}

TEST_F(VersionCheckTest, ErrorPageReadsAsNoVersion) {
  RawServer server(RawScript().Send(HttpResponse(404, "<html>not found</html>")));
  MapUpdateHost(server.HostPort());
  Start();
  ExpectNoOffer();
}

TEST_F(VersionCheckTest, QuitClosesTheOfferAndKeepsTheMainWindow) {
  StartWithVersionText("1190");
  update::UpdateQuitClicked();
  ui::ProcessPendingEvents();
  ExpectNoOffer();
}

// The real start-up: the main window's created handler loads the update window.
TEST_F(VersionCheckTest, ProgramStartOffersNewerVersion) {
  ui::ClearHandlers();
  app::RegisterHandlers();
  update::RegisterHandlers();
  StartWithVersionText("1190");
  ExpectOffer("1190");
}

}  // namespace
}  // namespace lirvo::test
