#include "update/version_check.h"

#include "lirvo/hosts.h"
#include "services/http.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::update {

namespace uw = ui::update_win;

Text UpdateServerUrl(const char* path) {
  return Text("http://") + hosts::kUpdate + path;
}

bool IsNewerVersion(const Text& local, const Text& remote) {
  return ToNumber(local) - ToNumber(remote) < -0.0000001;
}

void UpdateCreated() {
  // A server that is down answers with the empty text, which reads as 0.
  ui::SetEditText(uw::编辑框3,
                  ToText(HttpGet(UpdateServerUrl("/lirvo/banben"), HttpKind::kVersionText)));
  if (IsNewerVersion(ui::EditText(uw::编辑框2), ui::EditText(uw::编辑框3))) {
    // Runs inside the main window's loading, which shows the main window all
    // the same; the update window stays above it.
    ui::SetVisible(ui::main_win::窗口, false);
    ui::SetVisible(uw::窗口, true);
    return;
  }
  ui::CloseWindow(ui::Window::Update);
}

}  // namespace lirvo::update
