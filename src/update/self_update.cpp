#include "update/self_update.h"

#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/library_root.h"
#include "ui/props.h"
#include "ui/window_services.h"
#include "update/links.h"
#include "update/signed_download.h"
#include "update/update_key.h"
#include "update/update_signature.h"

namespace lirvo::update {

using namespace lirvo::literals;

namespace {

constexpr int kOkCancel = 1;
constexpr int kOkCancelQuestion = 0x21;
constexpr int kWarning = 0x30;
constexpr int kInformation = 0x40;

}  // namespace

bool IsUsableFetch(const HttpResult& result) {
  return result.complete && result.status >= 200 && result.status < 300 && !result.body.empty();
}

void UpdateQuitClicked() {
  ui::CloseWindow(ui::Window::Update);
}

void UpdateStartClicked() {
  ui::SetVisible(ui::update_win::窗口, false);
  // An installed copy belongs to the package manager, which alone replaces it.
  if (layout::RunsInstalled()) {
    ui::MessageBox("本程序由系统的软件包管理器安装，请用软件包管理器更新本程序。"_gbk,
                   kInformation);
    ui::CloseWindow(ui::Window::Update);
    return;
  }
  // Without a key no download can be trusted, so none is made.
  const std::string key = UpdatePublicKey();
  if (!IsPublicKey(key)) {
    ui::MessageBox(
        "本程序没有内置更新签名的公钥，无法确认更新程序的真伪，所以不能自动更新。请到官方网站下载新版本。"_gbk,
        kInformation);
    ui::CloseWindow(ui::Window::Update);
    return;
  }
  if (ui::MessageBox("Lirvo文件是没有毒的，是否查看文件查杀结果？"_gbk, kOkCancelQuestion) == 0) {
    ui::OpenUrl(kScanReportPage);
  }
  if (ui::MessageBox("更新文件不知道怎么回事一直误报，放心绝对没有毒，如果更新请确认！！"_gbk,
                     kOkCancel) != 0) {
    ui::CloseWindow(ui::Window::Update);
    return;
  }

  const Text path = layout::UpdateProgramPath();
  const UpdateOutcome outcome =
      DownloadSignedUpdate(path, ui::EditText(ui::update_win::编辑框2), key);
  if (outcome.step == UpdateStep::kDone) {
    ui::OpenUrl(path);
    ui::EndProgram(0);
  }
  // Nothing was started: the program goes on as after declining.
  if (const Text failure = UpdateFailureText(outcome, path); !failure.empty()) {
    ui::MessageBox(failure, kWarning);
  }
  ui::CloseWindow(ui::Window::Update);
}

}  // namespace lirvo::update
