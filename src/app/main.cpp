// Program entry: services up, handlers bound, the main window loaded, then the
// message loop until the last window goes.
#include "app/register.h"
#include "app/state.h"
#include "app/stop_signals.h"
#include "collect/register.h"
#include "library/register.h"
#include "services/files.h"
#include "services/gbk.h"
#include "ui/window_services.h"
#include "update/register.h"

int main() {
  using namespace lirvo;
  using namespace lirvo::literals;
  ui::Initialize();
  InitProgramFolder();
  app::InstallStopSignals();
  app::RegisterHandlers();
  collect::RegisterHandlers();
  library::RegisterHandlers();
  update::RegisterHandlers();
  ui::SetExitRoutine(app::ExitRoutine);
  if (!ui::OpenWindow(ui::Window::Main)) ui::RuntimeError("载入启动窗口失败"_gbk);
  return ui::RunMessageLoop();
}
