// The self-update: the two questions, the signed download, and every way it
// is refused or fails.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "demo_site.h"
#include "demo_update.h"
#include "services/library_root.h"
#include "services/native_path.h"
#include "support/gui_access.h"
#include "support/gui_input.h"
#include "support/quick_http.h"
#include "support/raw_server.h"
#include "update/links.h"
#include "update/self_update.h"
#include "update/update_fixture.h"
#include "update/update_key.h"
#include "update/update_signature.h"
#include "update/update_signer.h"

namespace lirvo::test {
namespace {

const char kScanQuestion[] = "Lirvo文件是没有毒的，是否查看文件查杀结果？";
const char kConfirmQuestion[] =
    "更新文件不知道怎么回事一直误报，放心绝对没有毒，如果更新请确认！！";

class SelfUpdateTest : public UpdateFixture {
 protected:
  // Starts with an offer from the demo site and presses the update button.
  void SetUp() override {
    UpdateFixture::SetUp();
    SetHttpLimitsForTest(test::QuickHttpLimits());
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    options.version = demo::kDemoUpdateVersion;
    m_site = std::make_unique<demo::DemoSite>(options);
    // This build trusts the demo site's key, with which it signed its program.
    update::SetUpdatePublicKeyForTest(demo::kDemoUpdatePublicKey);
    ASSERT_TRUE(m_site->Start());
    m_site->MapHostsForTest();
    Start();
    ASSERT_TRUE(ui::Visible(uw::窗口));
  }
  void TearDown() override {
    layout::SetRunsInstalledForTest(false);
    SetHttpLimitsForTest(HttpLimits{});
    update::SetUpdatePublicKeyForTest(std::nullopt);
    UpdateFixture::TearDown();
    m_site.reset();
  }

  Text ProgramPath() const { return m_folder.Path("Lirvo-更新.exe"_gbk); }
  bool ProgramSaved() const { return std::filesystem::exists(NativePath(ProgramPath())); }
  // No temporary download stays beside the program.
  bool NothingLeft() const {
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.NativePath())) {
      if (IsTemporaryFileName(entry.path().filename().string())) return false;
    }
    return true;
  }

  // Serves `program` and, unless it is empty, `signature` in place of the
  // site's signed program.
  void Serve(const std::string& program, const std::string& signature) {
    m_site->SetRequestHook(
        [program, signature](demo::Host host,
                             const std::string& path) -> std::optional<demo::Reply> {
          if (host != demo::Host::Update) return std::nullopt;
          if (path == demo::kUpdateProgramPath) return demo::Reply{200, program, "text/plain"};
          if (path == std::string(demo::kUpdateProgramPath) + ".minisig") {
            if (signature.empty()) return demo::Reply{404, "<html>404</html>", "text/html"};
            return demo::Reply{200, signature, "text/plain"};
          }
          return std::nullopt;
        });
  }

  // The update was given up: nothing saved, left or started, the window
  // closed as after declining, the main window still there.
  void ExpectGivenUp() {
    ui::ProcessPendingEvents();
    EXPECT_FALSE(ProgramSaved());
    EXPECT_TRUE(NothingLeft());
    EXPECT_THAT(openedUrls, ::testing::Not(::testing::Contains(ProgramPath())));
    EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
    EXPECT_TRUE(ui::IsLoaded(ui::Window::Main));
  }

  std::unique_ptr<demo::DemoSite> m_site;
};

TEST_F(SelfUpdateTest, QuestionsInOrderAndScanReportOnOk) {
  m_answers = {0, 1};
  update::UpdateStartClicked();

  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, Utf8ToGbk(kScanQuestion));
  EXPECT_EQ(messages[0].style, 0x21);
  EXPECT_EQ(messages[1].message, Utf8ToGbk(kConfirmQuestion));
  EXPECT_EQ(messages[1].style, 1);
  EXPECT_EQ(openedUrls, std::vector<Text>{update::kScanReportPage});
  // Declining the second question fetches nothing.
  EXPECT_EQ(m_site->RequestCount(demo::Host::Update, "/lirvo/gengxincx"), 0);
  ExpectGivenUp();
}

TEST_F(SelfUpdateTest, HiddenWhileAskingAndNoScanReportOnCancel) {
  ui::SetMessageBoxAnswerer([this](const Text&, int, const Text&) {
    EXPECT_FALSE(ui::Visible(uw::窗口));
    messages.push_back({});
    return 1;
  });
  update::UpdateStartClicked();
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_TRUE(openedUrls.empty());
  ExpectGivenUp();
}

// A packaged copy is replaced by the package manager only: the offer stays,
// but 更新 says so and fetches, saves and starts nothing.
TEST_F(SelfUpdateTest, InstalledCopyPointsToThePackageManager) {
  layout::SetRunsInstalledForTest(true);
  m_answers = {0, 0};
  update::UpdateStartClicked();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message,
            Utf8ToGbk("本程序由系统的软件包管理器安装，请用软件包管理器更新本程序。"));
  EXPECT_EQ(messages[0].style, 0x40);
  EXPECT_EQ(m_site->RequestCount(demo::Host::Update, "/lirvo/gengxincx"), 0);
  EXPECT_TRUE(openedUrls.empty());
  ExpectGivenUp();
}

// Locator or program that cannot be fetched whole: the user is told which,
// and the program keeps running.
struct FailureCase {
  const char* name;
  bool locator;  // which fetch fails
  int status;
  const char* body;
  const char* told;  // after "更新失败，原因如下：\r\n  "
};

std::string Told(const char* reason) {
  return Utf8ToGbk(std::string("更新失败，原因如下：\r\n  ") + reason);
}

class FailedDownloadTest : public SelfUpdateTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedDownloadTest, NothingSavedOrStarted) {
  const FailureCase& c = GetParam();
  const std::string failing = c.locator ? "/lirvo/gengxincx" : demo::kUpdateProgramPath;
  m_site->SetRequestHook(
      [&](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != failing) return std::nullopt;
        return demo::Reply{c.status, c.body, "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].message, Told(c.told));
  EXPECT_EQ(messages[2].style, 0x30);
  ExpectGivenUp();
}

INSTANTIATE_TEST_SUITE_P(
    Fetches, FailedDownloadTest,
    ::testing::Values(FailureCase{"locator_not_found", true, 404, "<html>404</html>",
                                  "无法获取更新程序的地址（服务器返回错误代码404）"},
                      FailureCase{"locator_empty", true, 200, "",
                                  "无法获取更新程序的地址（服务器返回了空白内容）"},
                      FailureCase{"locator_server_error", true, 500, "oops",
                                  "无法获取更新程序的地址（服务器返回错误代码500）"},
                      FailureCase{"locator_not_a_url", true, 200, "nothing here",
                                  "无法获取更新程序的地址（服务器返回的不是网址）"},
                      FailureCase{"program_not_found", false, 404, "<html>404</html>",
                                  "无法下载更新程序（服务器返回错误代码404）"},
                      FailureCase{"program_empty", false, 200, "",
                                  "无法下载更新程序（服务器返回了空白内容）"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelfUpdateTest, CutOffProgramIsNotSaved) {
  RawServer cut([](const RawRequest& request) {
    if (request.target.ends_with(".minisig")) {
      return RawScript().Send(HttpResponse(200, demo::kSignedUpdateSignature));
    }
    return RawScript()
        .Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n")
        .Send(std::string(400, 'x'));
  });
  m_site->SetRequestHook(
      [&](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != "/lirvo/gengxincx") return std::nullopt;
        return demo::Reply{200, cut.Url("/Lirvo-update.sh"), "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  // A cut body is tried again, each time in vain.
  const auto requests = cut.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().target, "/Lirvo-update.sh");
  EXPECT_EQ(messages.back().message, Told("无法下载更新程序（连接中断）"));
  ExpectGivenUp();
}

TEST_F(SelfUpdateTest, FailedDownloadLeavesAnEarlierFileAlone) {
  ASSERT_TRUE(WriteFile(ProgramPath(), "earlier"));
  m_site->SetRequestHook(
      [](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != demo::kUpdateProgramPath) return std::nullopt;
        return demo::Reply{404, "gone", "text/plain"};
      });
  m_answers = {1, 0};
  update::UpdateStartClicked();
  ui::ProcessPendingEvents();
  EXPECT_EQ(ReadFile(ProgramPath()), "earlier");
  EXPECT_FALSE(ui::IsLoaded(ui::Window::Update));
}

// Reaching the end of the program: the exit routine runs first, and this one
// leaves by an exception instead, so the test can look at what happened.
struct ProgramEnded {};

// The accepted update, signed at build time with the demo site's key, is saved
// runnable, opened, and the program ends.
TEST_F(SelfUpdateTest, AcceptedUpdateSavesOpensAndEnds) {
  ui::SetExitRoutine([] { throw ProgramEnded{}; });
  m_answers = {1, 0};
  EXPECT_THROW(update::UpdateStartClicked(), ProgramEnded);

  EXPECT_EQ(ReadFile(ProgramPath()), demo::kSignedUpdateProgram);
  struct stat info {};
  ASSERT_EQ(::stat(NativePath(ProgramPath()).c_str(), &info), 0);
  EXPECT_NE(info.st_mode & S_IXUSR, 0u);
  EXPECT_EQ(openedUrls, std::vector<Text>{ProgramPath()});
  EXPECT_EQ(messages.size(), 2u);  // the two questions, nothing else
  EXPECT_TRUE(NothingLeft());
}

// ---- signatures

// How the served program and its signature differ from a good pair.
enum class Tamper { kNone, kUnsigned, kOtherKey, kProgramByte, kTrustedComment, kNoKey };

struct RefusalCase {
  const char* name;
  Tamper tamper;
  const char* comment;  // the signed trusted comment
  bool prehashed;
  const char* told;  // UTF-8; after the failure prefix unless kNoKey
};

class RefusedUpdateTest : public SelfUpdateTest,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedUpdateTest, ToldAndNothingStartedOrLeft) {
  const RefusalCase& c = GetParam();
  const UpdateSigner signer;
  const UpdateSigner stranger;
  std::string program = "#!/bin/sh\necho signed update\n";
  std::string signature =
      (c.tamper == Tamper::kOtherKey ? stranger : signer).Sign(program, c.comment, c.prehashed);
  if (c.tamper == Tamper::kUnsigned) signature.clear();
  if (c.tamper == Tamper::kProgramByte) program[12] ^= 1;
  if (c.tamper == Tamper::kTrustedComment) {
    signature.replace(signature.find("1190"), 4, "1199");
  }
  update::SetUpdatePublicKeyForTest(c.tamper == Tamper::kNoKey ? "" : signer.PublicKeyLine());
  Serve(program, signature);

  m_answers = {1, 0};
  update::UpdateStartClicked();
  ASSERT_FALSE(messages.empty());
  if (c.tamper == Tamper::kNoKey) {
    // Said at once: no question, no request.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, Utf8ToGbk(c.told));
    EXPECT_EQ(messages[0].style, 0x40);
    EXPECT_EQ(m_site->RequestCount(demo::Host::Update, "/lirvo/gengxincx"), 0);
  } else {
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].message, Told(c.told));
  }
  ExpectGivenUp();
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, RefusedUpdateTest,
    ::testing::Values(
        RefusalCase{"unsigned", Tamper::kUnsigned, "lirvo version 1190", true,
                    "无法获取更新程序的签名文件（服务器返回错误代码404）"},
        RefusalCase{"other_key", Tamper::kOtherKey, "lirvo version 1190", true,
                    "更新程序的签名验证失败，文件可能被篡改"},
        RefusalCase{"changed_byte", Tamper::kProgramByte, "lirvo version 1190", true,
                    "更新程序的签名验证失败，文件可能被篡改"},
        RefusalCase{"changed_byte_legacy", Tamper::kProgramByte, "lirvo version 1190", false,
                    "更新程序的签名验证失败，文件可能被篡改"},
        RefusalCase{"changed_trusted_comment", Tamper::kTrustedComment, "lirvo version 1190", true,
                    "更新程序的签名验证失败，文件可能被篡改"},
        RefusalCase{"older_version", Tamper::kNone, "lirvo version 1170", true,
                    "签名注明的版本不比本程序新"},
        RefusalCase{"same_version", Tamper::kNone, "lirvo version 1180", true,
                    "签名注明的版本不比本程序新"},
        RefusalCase{"no_version", Tamper::kNone, "timestamp:1765000000\tfile:Lirvo-update.sh", true,
                    "签名注明的版本不比本程序新"},
        RefusalCase{"no_key", Tamper::kNoKey, "lirvo version 1190", true,
                    "本程序没有内置更新签名的公钥，无法确认更新程序的真伪，所以不能自动更新。"
                    "请到官方网站下载新版本。"}),
    [](const auto& info) { return std::string(info.param.name); });

// Both of minisign's forms verify, and the version comes from the signed text.
TEST(UpdateSignatureTest, PrehashedAndLegacyVerify) {
  const UpdateSigner signer;
  for (const bool prehashed : {true, false}) {
    SCOPED_TRACE(prehashed ? "ED" : "Ed");
    const update::SignatureResult result =
        update::CheckSignature("program", signer.Sign("program", "lirvo version 1190.5", prehashed),
                               signer.PublicKeyLine());
    EXPECT_EQ(result.check, update::SignatureCheck::kVerified);
    EXPECT_EQ(update::SignedVersion(result.trustedComment), "1190.5");
  }
  EXPECT_FALSE(update::IsPublicKey(""));
  EXPECT_FALSE(update::IsPublicKey(signer.PublicKeyLine().substr(1)));
}

// A verified program that cannot take its place is told and not left behind.
TEST_F(SelfUpdateTest, UnwritableTargetIsTold) {
  ASSERT_TRUE(CreateFolder(ProgramPath()));
  m_answers = {1, 0};
  update::UpdateStartClicked();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[2].message, Told("无法保存更新程序 ") + Utf8ToGbk(NativePath(ProgramPath())) +
                                     Utf8ToGbk("（同名的文件夹已存在）"));
  EXPECT_TRUE(NothingLeft());
  EXPECT_TRUE(std::filesystem::is_directory(NativePath(ProgramPath())));
  EXPECT_TRUE(openedUrls.empty());
}

// ---- the download box

// Cancelling ends the download, by 取消, Esc or the close box: nothing is told,
// started or left, and a click on the main window made meanwhile never runs.
class CancelledDownloadTest : public SelfUpdateTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(CancelledDownloadTest, LeavesNothingAndDropsClicks) {
  const std::string way = GetParam();
  RawServer slow([](const RawRequest& request) {
    if (request.target.ends_with(".minisig")) {
      return RawScript().Send(HttpResponse(200, demo::kSignedUpdateSignature));
    }
    return RawScript()
        .Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")
        .Send(std::string(1000, 'x'))
        .Stall();
  });
  m_site->SetRequestHook(
      [&](demo::Host host, const std::string& path) -> std::optional<demo::Reply> {
        if (host != demo::Host::Update || path != "/lirvo/gengxincx") return std::nullopt;
        return demo::Reply{200, slow.Url("/Lirvo-update.sh"), "text/plain"};
      });
  static bool collectRan;
  collectRan = false;
  ui::RegisterHandler(ui::Handler::MainCollectClicked, [] { collectRan = true; });

  // Acts from inside the box's wait, once the program's body is coming.
  int ticksAfter = -1;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
    if (ticksAfter >= 0) {
      if (++ticksAfter == 500) slow.Stop();  // bounds a box that did not let go
      return;
    }
    if (box == nullptr || slow.ConnectionCount() < 2) return;
    ticksAfter = 0;
    // A click on 采集 as the display server delivers it, through the window.
    QWidget* collect = Live(mw::按钮2);
    QWidget* main = collect->window();
    QTest::mouseClick(main->windowHandle(), Qt::LeftButton, {},
                      collect->mapTo(main, collect->rect().center()));
    if (way == "button") input::Click(box->findChild<QPushButton*>());
    if (way == "escape") {
      input::Activate(box);
      input::Press(Qt::Key_Escape);
    }
    if (way == "close") box->close();
  });
  watch.start(20);
  m_answers = {1, 0};
  update::UpdateStartClicked();
  watch.stop();

  EXPECT_LT(ticksAfter, 50) << "the box lets go within a second";
  EXPECT_EQ(messages.size(), 2u);  // the two questions only
  slow.Stop();                     // the stall ends, whatever still holds it
  EXPECT_TRUE(RunUntil([this] { return NothingLeft(); }));
  ExpectGivenUp();
  EXPECT_FALSE(collectRan);
}

INSTANTIATE_TEST_SUITE_P(Ways, CancelledDownloadTest,
                         ::testing::Values("button", "escape", "close"));

}  // namespace
}  // namespace lirvo::test
