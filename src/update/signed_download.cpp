#include "update/signed_download.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "services/files.h"
#include "services/gbk.h"
#include "services/http_scheduler.h"
#include "services/native_path.h"
#include "ui/transfer_box.h"
#include "update/self_update.h"
#include "update/update_signature.h"
#include "update/version_check.h"

namespace lirvo::update {

using namespace lirvo::literals;

namespace {

Text FolderOf(const Text& path) {
  const std::size_t cut = path.rfind('\\');
  return cut == Text::npos ? Text(".") : path.substr(0, cut);
}

bool IsHttpUrl(const Text& url) {
  return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

// The saved program must be runnable when the desktop opens it: execute
// permission wherever read permission is given.
void MakeExecutable(const Text& path) {
  const std::string native = NativePath(path);
  struct stat info {};
  if (::stat(native.c_str(), &info) != 0) return;
  const mode_t mode = info.st_mode & 07777;
  ::chmod(native.c_str(), mode | ((mode & 0444) >> 2));
}

// Removes the temporary file now and once more when its request has ended,
// so that a transfer still running after a cancel leaves nothing either.
void DiscardWhenDone(const HttpTicket& ticket, const Text& temporary) {
  const std::string native = NativePath(temporary);
  std::error_code ignored;
  std::filesystem::remove(native, ignored);
  ticket.OnDone([native] {
    std::error_code ignoredToo;
    std::filesystem::remove(native, ignoredToo);
  });
}

Text FetchReason(const HttpResult& result) {
  switch (result.failure) {
    case HttpFailure::kHostNotFound:
      return "找不到更新服务器（域名无法解析）"_gbk;
    case HttpFailure::kRefused:
      return "服务器拒绝连接"_gbk;
    case HttpFailure::kTimedOut:
      return "连接超时"_gbk;
    case HttpFailure::kBadUrl:
      return "网址有误"_gbk;
    case HttpFailure::kTooLarge:
      return "文件过大"_gbk;
    case HttpFailure::kNone:
      break;
    default:
      return "连接中断"_gbk;
  }
  if (result.status < 200 || result.status >= 300)
    return "服务器返回错误代码"_gbk + std::to_string(result.status);
  return "服务器返回了空白内容"_gbk;
}

Text WriteReason(int error) {
  switch (error) {
    case ENOSPC:
      return "磁盘空间已满"_gbk;
    case EROFS:
      return "磁盘是只读的"_gbk;
    case EISDIR:
      return "同名的文件夹已存在"_gbk;
    default:
      return "没有写入权限"_gbk;
  }
}

HttpRequest Request(Text url, HttpKind kind, Text file = {}) {
  HttpRequest request;
  request.url = std::move(url);
  request.kind = kind;
  request.file = std::move(file);
  return request;
}

UpdateOutcome Failed(UpdateStep step, HttpResult fetch = {}) {
  return {step, std::move(fetch), 0};
}

}  // namespace

UpdateOutcome DownloadSignedUpdate(const Text& target, const Text& localVersion,
                                   const std::string& publicKey) {
  auto session = std::make_shared<HttpSession>();
  ui::TransferBox box("Lirvo-程序更新"_gbk, "正在下载更新程序，请稍候……"_gbk);
  // Waits for one request of the session; nullptr when it was cancelled.
  const auto fetch = [&](HttpRequest request, HttpTicket& ticket) -> const HttpResult* {
    ticket = HttpSubmit(std::move(request), session);
    if (!box.Follow(ticket)) {
      session->Cancel();
      return nullptr;
    }
    const HttpResult& result = ticket.Wait();
    return result.failure == HttpFailure::kCancelled ? nullptr : &result;
  };

  HttpTicket locatorTicket;
  const HttpResult* locator =
      fetch(Request(UpdateServerUrl("/lirvo/gengxincx"), HttpKind::kVersionText), locatorTicket);
  if (locator == nullptr) return Failed(UpdateStep::kCancelled);
  const Text programUrl = ToText(locator->body);
  if (!IsUsableFetch(*locator) || !IsHttpUrl(programUrl)) {
    return Failed(UpdateStep::kLocator, *locator);
  }

  HttpTicket signatureTicket;
  const HttpResult* signature =
      fetch(Request(programUrl + ".minisig", HttpKind::kVersionText), signatureTicket);
  if (signature == nullptr) return Failed(UpdateStep::kCancelled);
  if (!IsUsableFetch(*signature)) return Failed(UpdateStep::kSignatureMissing, *signature);

  const Text temporary = TemporaryFileIn(FolderOf(target));
  HttpTicket ticket;
  const HttpResult* program =
      fetch(Request(programUrl, HttpKind::kUpdateProgram, temporary), ticket);
  if (program == nullptr || program->failure == HttpFailure::kWrite ||
      !(program->complete && program->status >= 200 && program->status < 300) ||
      ExactFileSize(temporary) <= 0) {
    DiscardWhenDone(ticket, temporary);
    if (program == nullptr) return Failed(UpdateStep::kCancelled);
    if (program->failure == HttpFailure::kWrite) {
      return {UpdateStep::kWrite, *program, program->writeError};
    }
    return Failed(UpdateStep::kProgram, *program);
  }

  const SignatureResult check = CheckSignature(ReadFile(temporary), signature->body, publicKey);
  UpdateOutcome outcome;
  if (check.check != SignatureCheck::kVerified) {
    outcome = Failed(UpdateStep::kSignatureBad);
  } else if (!IsNewerVersion(localVersion, SignedVersion(check.trustedComment))) {
    outcome = Failed(UpdateStep::kNotNewer);
  } else {
    errno = 0;
    if (MoveFileOver(temporary, target)) {
      MakeExecutable(target);
      return outcome;
    }
    outcome = {UpdateStep::kWrite, {}, errno};
  }
  DiscardWhenDone(ticket, temporary);
  return outcome;
}

Text UpdateFailureText(const UpdateOutcome& outcome, const Text& target) {
  Text reason;
  switch (outcome.step) {
    case UpdateStep::kDone:
    case UpdateStep::kCancelled:
      return {};
    case UpdateStep::kLocator:
      reason =
          "无法获取更新程序的地址（"_gbk +
          (IsUsableFetch(outcome.fetch) ? "服务器返回的不是网址"_gbk : FetchReason(outcome.fetch)) +
          "）"_gbk;
      break;
    case UpdateStep::kSignatureMissing:
      reason = "无法获取更新程序的签名文件（"_gbk + FetchReason(outcome.fetch) + "）"_gbk;
      break;
    case UpdateStep::kProgram:
      reason = "无法下载更新程序（"_gbk + FetchReason(outcome.fetch) + "）"_gbk;
      break;
    case UpdateStep::kSignatureBad:
      reason = "更新程序的签名验证失败，文件可能被篡改"_gbk;
      break;
    case UpdateStep::kNotNewer:
      reason = "签名注明的版本不比本程序新"_gbk;
      break;
    case UpdateStep::kWrite:
      reason = "无法保存更新程序 "_gbk + Utf8ToGbk(NativePath(target)) + "（"_gbk +
               WriteReason(outcome.writeError) + "）"_gbk;
      break;
  }
  return "更新失败，原因如下：\r\n  "_gbk + reason;
}

}  // namespace lirvo::update
