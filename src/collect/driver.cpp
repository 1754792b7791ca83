#include "collect/driver.h"

#include "collect/extraction.h"
#include "collect/folder_tree.h"
#include "collect/listing.h"
#include "collect/lookahead.h"
#include "collect/records.h"
#include "collect/rules.h"
#include "collect/run_lock.h"
#include "collect/run_problems.h"
#include "collect/run_stop.h"
#include "collect/state.h"
#include "collect/stop_signals.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/run_notice.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

namespace {

constexpr int kWarningIcon = 0x30;

}  // namespace

void Collect() {
  collect::CreateFolderTree();
  if (ui::ComboIndex(CompletedType() ? mw::完本类 : mw::连载类) == -1) {
    ui::MessageBox("小说种类还未选择"_gbk, 0);
    return;
  }
  // Two runs in one library would share, and delete, one cache folder.
  const collect::RunLockAttempt lock = collect::TakeRunLock();
  if (lock.state == collect::RunLock::kHeldElsewhere) {
    ui::MessageBox(LibraryBusyText(layout::LibraryRoot()), kWarningIcon);
    return;
  }
  // A disk that cannot lock (ENOLCK, ENOTSUP ...) would let a second run in.
  if (lock.state == collect::RunLock::kUnwritable && !IsLibraryWriteError(lock.error)) {
    ui::MessageBox(LibraryLockText(layout::LibraryRoot()), kWarningIcon);
    return;
  }
  collect::BeginRunSession();
  ui::SetVisible(mw::窗口, false);
  ui::OpenWindow(ui::Window::Progress, ui::Window::Main);
  ui::ReportRunProgress(0.0);
  if (lock.state == collect::RunLock::kUnwritable)
    ReportLibraryProblem(layout::RunLockPath(), lock.error);
  else
    collect::PrepareLibrary();
  FetchListingPages();
  collect::CollectionState& state = collect::State();
  ui::Delay(state.responseDelay);
  BeginLookahead(state.pageCount, ReadMarkers());
  // Bounded by the page count asked for, not by the pages that arrived.
  for (long long page = 1;
       page <= state.pageCount && !state.libraryUnwritable && !RunStopRequested(); ++page) {
    state.currentPage = static_cast<int>(page);
    ParseListingPage(state.currentPage);
    ui::ReportRunProgress(static_cast<double>(page) / static_cast<double>(state.pageCount));
  }
  // No temporary file outlives the run.
  EndLookahead();
  collect::StopIfRequested();
  Summary();
}

}  // namespace lirvo::collect
