// Program entry: services up, handlers bound, the main window loaded, then the
// message loop until the last window goes.
#include <cstdio>
#include <cstdlib>

#include "app/start_up.h"
#include "collect/register.h"
#include "collect/state.h"
#include "collect/stop_signals.h"
#include "library/register.h"
#include "lirvo/version.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_root.h"
#include "ui/window_services.h"
#include "update/register.h"

int main(int argc, char** argv) {
  using namespace lirvo;
  using namespace lirvo::literals;
  switch (app::RequestOf(argc, argv)) {
    case app::Request::Version:
      std::printf(
          "Lirvo %s\n"
          "License GPL-3.0-or-later: GNU GPL version 3 or later "
          "<https://gnu.org/licenses/gpl.html>\n",
          kVersion);
      return 0;
    case app::Request::Help:
      std::printf(
          "Usage: lirvo [--help | --version]  (the Lirvo novel collector; no other options)\n");
      return 0;
    case app::Request::Unknown:
      std::fprintf(stderr, "%s\n", app::UnknownOptionLine(argv[1]).c_str());
      return 2;
    case app::Request::Run:
      break;
  }
  const std::string noDisplay = app::MissingDisplay(
      std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
  if (!noDisplay.empty()) {
    std::fprintf(stderr, "lirvo: %s\n", noDisplay.c_str());
    return 1;
  }

  app::StartWindowEngine();
  InitProgramFolder();
  if (const Text problem = layout::ChooseLibraryRoot(); !problem.empty()) {
    std::string line = GbkToUtf8(problem);
    for (char& c : line) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    std::fprintf(stderr, "lirvo: %s\n", line.c_str());
    ui::MessageBox(problem, 0x10, "Lirvo"_gbk);
    return 1;
  }
  collect::InstallStopSignals();
  collect::RegisterHandlers();
  library::RegisterHandlers();
  update::RegisterHandlers();
  ui::SetExitRoutine(collect::ExitRoutine);
  if (!ui::OpenWindow(ui::Window::Main)) ui::RuntimeError("载入启动窗口失败"_gbk);
  return ui::RunMessageLoop();
}
