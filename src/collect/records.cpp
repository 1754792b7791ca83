#include "collect/records.h"

#include <string>

#include "collect/extraction.h"
#include "collect/rules.h"
#include "collect/run_lock.h"
#include "collect/run_problems.h"
#include "collect/state.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/profile.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/run_notice.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;
namespace bw = ui::browse_win;

namespace {

constexpr int kQuestionOkCancel = 33;

void (*g_progressWatcher)(const Text&) = nullptr;

Text CountsText(const Counts& c) {
  Text text = ToText(c.fresh + c.existing + c.failed) + "篇小说，其中已存在"_gbk +
              ToText(c.existing) + "篇小说，本次成功采集"_gbk + ToText(c.fresh) + "篇小说"_gbk;
  if (c.failed > 0) text += "，下载失败"_gbk + ToText(c.failed) + "篇"_gbk;
  return text;
}

Counts RunCounts() {
  const collect::CollectionState& state = collect::State();
  return {state.newCount, state.existingCount, state.failedCount};
}

}  // namespace

Text RunLabel(bool completed, const Text& category) {
  return completed ? "已完结的"_gbk + category : "连载中的"_gbk + category + "小说"_gbk;
}

Text KilobytesText(const Text& sizeText) {
  // Adding 0.0 turns a rounded -0 (from a size of -1) into 0.
  return ToText(RoundNumber(ToNumber(sizeText) / 1000, 0) + 0.0);
}

Text ProgressText(const Text& title, const Text& author, const Text& archiveKilobytes,
                  const Text& introduction, const Counts& counts, const Text& label) {
  return "标题："_gbk + title + " \r\n" + "作者："_gbk + author + "\r\n" + "压缩文件大小："_gbk +
         archiveKilobytes + "KB\r\n" + "简介："_gbk + introduction + "\r\n\r\n" +
         std::string(15, ' ') + "共采集"_gbk + CountsText(counts) + "！  正在采集"_gbk + label +
         "...";
}

Text SummaryText(const Counts& counts) {
  return "采集完成，共采集"_gbk + CountsText(counts) + "！是否查看文件？"_gbk;
}

Text ShownIntroduction(const Text& introduction) {
  if (introduction.size() <= kShownIntroductionBytes) return introduction;
  // The text services pair a byte of 0x80 or more with the byte after it.
  std::size_t end = 0;
  while (end < kShownIntroductionBytes) {
    const std::size_t next = end + (static_cast<unsigned char>(introduction[end]) >= 0x80 ? 2 : 1);
    if (next > kShownIntroductionBytes) break;
    end = next;
  }
  return introduction.substr(0, end);
}

void RecordStep(Outcome outcome) {
  collect::CollectionState& state = collect::State();
  const Text label = RunLabel(CompletedType(), SelectedCategory());
  const Text& title = CurrentTitle();
  if (outcome != Outcome::kUnnamable) {
    // Whole or not at all: a run killed here must not leave half an introduction.
    const Text introduction = layout::IntroductionPath(state.categoryPath, title);
    WriteInLibrary(introduction,
                   [&] { return WriteFileWhole(introduction, ToBytes(state.entryIntroduction)); });
    const Text record = layout::RecordPath(state.categoryPath, title);
    WriteInLibrary(record,
                   [&] { return WriteProfile(record, title, "作者"_gbk, state.entryAuthor); });
    WriteInLibrary(layout::NovelIndexPath(), [&] {
      return WriteProfile(layout::NovelIndexPath(), "小说"_gbk, title,
                          layout::ArchivePath(state.categoryPath, title));
    });
  }
  if (outcome == Outcome::kNew) ++state.newCount;
  if (outcome == Outcome::kFailed || outcome == Outcome::kUnnamable) ++state.failedCount;
  const Text progress =
      ProgressText(title, state.entryAuthor, KilobytesText(state.archiveSizeText),
                   ShownIntroduction(state.entryIntroduction), RunCounts(), label);
  ui::SetContent(ui::progress_win::编辑框1, progress);
  if (g_progressWatcher) g_progressWatcher(progress);
  ui::Delay(state.responseDelay);
}

void WatchProgressForTest(void (*watcher)(const Text& progress)) {
  g_progressWatcher = watcher;
}

void Summary() {
  ui::NotifyRunEnded(RunCounts().fresh, RunCounts().failed);
  if (ui::MessageBox(SummaryText(RunCounts()), kQuestionOkCancel) != 0) {
    collect::DeleteCacheUnlessInUse();
    ui::EndProgram(0);
  }
  ui::OpenWindow(ui::Window::Browse);
  Text kind;
  if (CompletedType()) {
    kind = layout::CategoryPath(true, ui::ComboText(mw::完本类));
    ui::SetComboIndex(bw::完本类, ui::ComboIndex(mw::完本类));
    ui::SetChecked(bw::单选框1, true);
    ui::SetChecked(bw::单选框2, false);
    ui::SetVisible(bw::连载类, false);
    ui::SetVisible(bw::完本类, true);
  } else {
    kind = layout::CategoryPath(false, ui::ComboText(mw::连载类));
    ui::SetComboIndex(bw::连载类, ui::ComboIndex(mw::连载类));
    ui::SetChecked(bw::单选框1, false);
    ui::SetChecked(bw::单选框2, true);
    ui::SetVisible(bw::连载类, true);
    ui::SetVisible(bw::完本类, false);
  }
  ui::CloseWindow(ui::Window::CollectPage);
  ui::CloseWindow(ui::Window::Progress);
  ui::CloseWindow(ui::Window::Main);
  ui::SetFileBoxFolder(bw::文件框1, layout::ArchiveFolder(kind));
}

}  // namespace lirvo::collect
