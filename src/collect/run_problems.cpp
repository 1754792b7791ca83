#include "collect/run_problems.h"

#include <cerrno>
#include <memory>
#include <set>

#include "collect/run_stop.h"
#include "collect/state.h"
#include "services/gbk.h"
#include "services/native_path.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;

namespace {

constexpr int kErrorIcon = 0x10;
constexpr int kWarningIcon = 0x30;

// "www.example.com" of "http://www.example.com:80/path".
Text HostOf(const Text& url) {
  const std::size_t scheme = url.find("://");
  const std::size_t start = scheme == Text::npos ? 0 : scheme + 3;
  return url.substr(start, url.find('/', start) - start);
}

Text SiteReason(const HttpResult& result) {
  switch (result.failure) {
    case HttpFailure::kHostNotFound:
      return "找不到该网站（域名无法解析）"_gbk;
    case HttpFailure::kRefused:
      return "网站拒绝连接"_gbk;
    case HttpFailure::kTimedOut:
      return "连接超时"_gbk;
    case HttpFailure::kBadUrl:
      return "网址有误"_gbk;
    case HttpFailure::kNone:
      break;
    default:
      return "连接中断"_gbk;
  }
  if (result.status < 200 || result.status >= 300)
    return "网站返回错误代码"_gbk + std::to_string(result.status);
  return "网站返回了空白页面"_gbk;
}

Text WriteReason(int error) {
  switch (error) {
    case ENOSPC:
      return "磁盘空间已满"_gbk;
#ifdef EDQUOT
    case EDQUOT:
      return "磁盘配额已用完"_gbk;
#endif
    case EROFS:
      return "磁盘是只读的"_gbk;
    case ENOTDIR:
      return "这里应是文件夹，却是一个同名的文件"_gbk;
    case EISDIR:
      return "这里应是文件，却是一个同名的文件夹"_gbk;
    case EILSEQ:
      return "磁盘不接受这个名称（有的U盘不支持中文文件名）"_gbk;
    case ENAMETOOLONG:
      return "路径太长"_gbk;
    default:
      return "没有写入权限"_gbk;
  }
}

bool Stopped() {
  return HttpRequestsCancelled() || RunStopRequested();
}

// Tells about `url`'s host unless this run has named it already.
bool FirstWordOnHost(const Text& url) {
  static std::weak_ptr<HttpSession> run;
  static std::set<Text> told;
  if (run.lock() != RunSession()) {
    run = RunSession();
    told.clear();
  }
  return told.insert(HostOf(url)).second;
}

Text ReadReason(int error) {
  switch (error) {
    case ENOTDIR:
    case EISDIR:
      return WriteReason(error);
    case EACCES:
    case EPERM:
      return "没有读取权限"_gbk;
    default:
      return "磁盘读取出错"_gbk;
  }
}

// A folder as the user's file manager shows it.
Text Shown(const Text& folder) {
  return Utf8ToGbk(NativePath(folder));
}

}  // namespace

Text SiteProblemText(const Text& url, const HttpResult& result) {
  return "小说网站连接失败，原因如下：\r\n  网站："_gbk + HostOf(url) + "\r\n  原因："_gbk +
         SiteReason(result);
}

Text ListingPageProblemText(int page, const Text& url, const HttpResult& result) {
  return "小说列表第"_gbk + std::to_string(page) + "页下载失败，本次只采集前"_gbk +
         std::to_string(page - 1) + "页，原因如下：\r\n  网址："_gbk + url + "\r\n  原因："_gbk +
         SiteReason(result);
}

Text LibraryProblemText(const Text& folder, int error) {
  return "小说文件夹无法写入，采集已停止，原因如下：\r\n  文件夹："_gbk + Shown(folder) +
         "\r\n  原因："_gbk + WriteReason(error);
}

Text LibraryObstacleText(const Text& path, int error) {
  return "小说文件夹已损坏，采集已停止，原因如下：\r\n  位置："_gbk + Shown(path) +
         "\r\n  原因："_gbk + WriteReason(error);
}

Text LibraryUnreadableText(const Text& path, int error) {
  return "小说文件夹已损坏，无法读取小说索引，原因如下：\r\n  位置："_gbk + Shown(path) +
         "\r\n  原因："_gbk + ReadReason(error);
}

Text LibraryLockText(const Text& root) {
  return "这个文件夹所在的磁盘不能加文件锁（例如没有锁服务的网络磁盘），无法安全采集，请把Lirvo放到本机磁盘上再试！\r\n  文件夹："_gbk +
         Shown(root);
}

Text LibraryBusyText(const Text& root) {
  return "另一个Lirvo正在向这个文件夹采集小说，请等它采集完成后再试！\r\n  文件夹："_gbk +
         Shown(root);
}

bool IsLibraryWriteError(int error) {
  switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EROFS:
    case EACCES:
    case EPERM:
    case ENOTDIR:  // something in the library is in the way
    case EISDIR:
      return true;
    default:
      return false;
  }
}

void ReportSiteProblem(const Text& url, const HttpResult& result) {
  if (Stopped() || !FirstWordOnHost(url)) return;
  ui::MessageBox(SiteProblemText(url, result), kWarningIcon);
}

void ReportListingPageProblem(int page, const Text& url, const HttpResult& result) {
  if (Stopped()) return;
  FirstWordOnHost(url);
  ui::MessageBox(ListingPageProblemText(page, url, result), kWarningIcon);
}

void ReportGivenUpHosts() {
  while (const std::optional<HttpGivenUpHost> host = RunSession()->TakeGivenUpHost())
    ReportSiteProblem(host->url, host->result);
}

bool ReportLibraryProblem(const Text& file, int error) {
  if (!IsLibraryWriteError(error)) return false;
  collect::CollectionState& state = collect::State();
  if (!state.libraryUnwritable) {
    state.libraryUnwritable = true;
    ui::MessageBox(LibraryProblemText(FolderOf(file), error), kErrorIcon);
  }
  return true;
}

void ReportLibraryObstacle(const Text& path, int error) {
  collect::CollectionState& state = collect::State();
  if (state.libraryUnwritable) return;
  state.libraryUnwritable = true;
  // Something in the way is damage; a folder that cannot be made is the disk's refusal.
  const bool damage = error == ENOTDIR || error == EISDIR;
  ui::MessageBox(damage ? LibraryObstacleText(path, error) : LibraryProblemText(path, error),
                 kErrorIcon);
}

Text FolderOf(const Text& path) {
  return LeftText(path, FindTextReverse(path, "\\") - 1);
}

}  // namespace lirvo::collect
