#include "library/search.h"

#include "collect/run_problems.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_check.h"
#include "services/library_layout.h"
#include "services/profile.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::library {

using namespace lirvo::literals;
namespace bw = ui::browse_win;

namespace {

constexpr int kSuggestionInterval = 5000;
constexpr int kOkCancel = 1;
constexpr int kInformation = 0x40;
constexpr int kWarning = 0x30;

Text DropSuffix(const Text& text, const Text& suffix) {
  const int length = TextLength(suffix);
  if (RightText(text, length) != suffix) return text;
  return LeftText(text, TextLength(text) - length);
}

}  // namespace

Text SearchKey(const Text& boxText) {
  return DropSuffix(DropSuffix(boxText, ".rar"), "rar");
}

Text SearchFailureText() {
  return "寻找失败，原因如下：\r\n  ①：本文件不存在\r\n  ②：本文件存在但是本程序更新后没有采集过本类小说，采集时不论是否成功、失败！！"_gbk;
}

Text SearchEmptyArchiveText() {
  return "寻找失败，原因如下：\r\n  本小说已采集，但压缩文件不存在或是空的（下载失败），请重新采集本类小说！"_gbk;
}

bool ToldIndexUnreadable() {
  const int error = ProfileReadError(layout::NovelIndexPath());
  if (error == 0) return false;
  ui::MessageBox(collect::LibraryUnreadableText(layout::NovelIndexPath(), error), kWarning);
  return true;
}

void BrowseTimerTick() {
  const int count = ui::ListItemCount(bw::列表框1);
  if (count == 0) {
    ui::SetEditText(bw::编辑框1, {});
    return;
  }
  ui::SetEditText(bw::编辑框1, ui::ListItemText(bw::列表框1, RandomNumber(0, count - 1)));
}

// No suggestions overwrite the box while the user types in it.
void BrowseSearchGotFocus() {
  ui::SetTimerInterval(bw::时钟1, 0);
}

void BrowseSearchLostFocus() {
  ui::SetTimerInterval(bw::时钟1, kSuggestionInterval);
}

void BrowseSearchClicked() {
  const Text key = SearchKey(ui::EditText(bw::编辑框1));
  const Text archive = ReadProfile(layout::NovelIndexPath(), "小说"_gbk, key);
  if (archive.empty()) {
    if (!ToldIndexUnreadable()) ui::MessageBox(SearchFailureText(), kInformation);
    return;
  }
  // Only a stored archive is offered: a failed download leaves none.
  if (!IsStoredFile(archive)) {
    ui::MessageBox(SearchEmptyArchiveText(), kInformation);
    return;
  }
  if (ui::MessageBox("寻找成功，是否打开？"_gbk, kOkCancel) == 0) ui::OpenUrl(archive);
}

}  // namespace lirvo::library
