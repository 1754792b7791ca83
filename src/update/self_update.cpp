#include "update/self_update.h"

#include <sys/stat.h>

#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/library_root.h"
#include "services/native_path.h"
#include "ui/props.h"
#include "ui/window_services.h"
#include "update/links.h"
#include "update/version_check.h"

namespace lirvo::update {

using namespace lirvo::literals;

namespace {

constexpr int kOkCancel = 1;
constexpr int kOkCancelQuestion = 0x21;
constexpr int kInformation = 0x40;

// The saved program must be runnable when the desktop opens it: execute
// permission wherever read permission is given.
void MakeExecutable(const Text& path) {
  const std::string native = NativePath(path);
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0) return;
  const mode_t mode = info.st_mode & 07777;
  ::chmod(native.c_str(), mode | ((mode & 0444) >> 2));
}

// Fetches the locator, then the program it names. Empty when either fetch is
// not usable, so that a broken download is never saved or started.
Bytes DownloadUpdateProgram() {
  const HttpResult locator = HttpFetch(UpdateServerUrl("/lirvo/gengxincx"), HttpKind::kVersionText);
  if (!IsUsableFetch(locator)) return {};
  const Text programUrl = ToText(locator.body);
  if (programUrl.empty()) return {};
  HttpResult program = HttpFetch(programUrl, HttpKind::kUpdateProgram);
  if (!IsUsableFetch(program)) return {};
  return std::move(program.body);
}

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
  if (ui::MessageBox("Lirvo文件是没有毒的，是否查看文件查杀结果？"_gbk, kOkCancelQuestion) == 0) {
    ui::OpenUrl(kScanReportPage);
  }
  if (ui::MessageBox("更新文件不知道怎么回事一直误报，放心绝对没有毒，如果更新请确认！！"_gbk,
                     kOkCancel) != 0) {
    ui::CloseWindow(ui::Window::Update);
    return;
  }

  const Text path = layout::UpdateProgramPath();
  const Bytes program = DownloadUpdateProgram();
  // Nothing usable arrived, or it could not be stored whole: keep running, as
  // after declining; a partly written file is not left behind to be started.
  if (program.empty()) {
    ui::CloseWindow(ui::Window::Update);
    return;
  }
  if (!WriteFile(path, program)) {
    DeleteFile(path);
    ui::CloseWindow(ui::Window::Update);
    return;
  }
  MakeExecutable(path);
  ui::OpenUrl(path);
  ui::EndProgram(0);
}

}  // namespace lirvo::update
