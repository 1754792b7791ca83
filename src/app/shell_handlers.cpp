#include "app/shell_handlers.h"

#include "app/run_lock.h"
#include "app/state.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::app {

void MainCreated() {
  State().responseDelay = 1;
  ui::OpenWindow(ui::Window::Update, std::nullopt, false);
}

// The lock goes only after the cache: a run that starts next may use it.
void MainDestroyed() {
  DeleteCacheUnlessInUse();
  ReleaseRunLock();
  ui::ReleaseRuntimeObjects();
}

// The text field follows the window's outer size.
void ProgressResized() {
  ui::SetWidth(ui::progress_win::编辑框1, ui::Width(ui::progress_win::窗口));
  ui::SetHeight(ui::progress_win::编辑框1, ui::Height(ui::progress_win::窗口));
}

void ProgressDestroyed() {}

}  // namespace lirvo::app
