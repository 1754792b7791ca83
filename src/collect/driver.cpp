#include "collect/driver.h"

#include "app/folder_tree.h"
#include "app/run_lock.h"
#include "app/state.h"
#include "app/stop_signals.h"
#include "collect/extraction.h"
#include "collect/listing.h"
#include "collect/records.h"
#include "collect/rules.h"
#include "collect/run_problems.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

namespace {

constexpr int kWarningIcon = 0x30;

}  // namespace

void Collect() {
  app::CreateFolderTree();
  if (ui::ComboIndex(CompletedType() ? mw::完本类 : mw::连载类) == -1) {
    ui::MessageBox("小说种类还未选择"_gbk, 0);
    return;
  }
  // Two runs in one library would share, and delete, one cache folder.
  const app::RunLockAttempt lock = app::TakeRunLock();
  if (lock.state == app::RunLock::kHeldElsewhere) {
    ui::MessageBox(LibraryBusyText(layout::LibraryRoot()), kWarningIcon);
    return;
  }
  ui::SetVisible(mw::窗口, false);
  ui::OpenWindow(ui::Window::Progress, ui::Window::Main);
  if (lock.state == app::RunLock::kUnwritable)
    ReportLibraryProblem(layout::RunLockPath(), lock.error);
  FetchListingPages();
  app::CollectionState& state = app::State();
  ui::Delay(state.responseDelay);
  // Bounded by the page count asked for, not by the pages that arrived.
  for (long long page = 1; page <= state.pageCount && !state.libraryUnwritable; ++page) {
    state.currentPage = static_cast<int>(page);
    ParseListingPage(state.currentPage);
  }
  app::StopIfRequested();
  Summary();
}

}  // namespace lirvo::collect
