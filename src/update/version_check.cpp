#include "update/version_check.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "lirvo/hosts.h"
#include "services/http_scheduler.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::update {

namespace uw = ui::update_win;
namespace mw = ui::main_win;

namespace {

// An answer later than this is not waited for.
constexpr int kAnswerMilliseconds = 10000;

// The check being waited for; GUI thread only. An answer of an earlier check
// (tests load the windows many times) finds another id and is dropped.
struct Check {
  std::uint64_t id = 0;
  bool open = false;
  HttpTicket request;
};
Check g_check;

bool MainWindowShown() {
  return ui::IsLoaded(ui::Window::Main) && ui::Visible(mw::窗口);
}

// Ends the check with the version text, or without one (given up).
void Conclude(std::uint64_t id, const std::optional<Text>& answer) {
  if (id != g_check.id || !g_check.open) return;
  g_check.open = false;
  // Given up: a late answer is not wanted.
  if (g_check.request.Valid()) g_check.request.Cancel();
  g_check.request = HttpTicket();
  if (!ui::IsLoaded(ui::Window::Update)) return;
  // Too late, or the user has moved on (a run hides the main window, closing
  // it ends the program): the offer would only get in the way.
  if (!answer || !MainWindowShown()) {
    ui::CloseWindow(ui::Window::Update);
    return;
  }
  ui::SetEditText(uw::编辑框3, *answer);
  if (IsNewerVersion(ui::EditText(uw::编辑框2), ui::EditText(uw::编辑框3))) {
    ui::SetVisible(uw::窗口, true);  // it stays above the main window
    return;
  }
  ui::CloseWindow(ui::Window::Update);
}

}  // namespace

Text UpdateServerUrl(const char* path) {
  return Text("http://") + hosts::kUpdate + path;
}

bool IsNewerVersion(const Text& local, const Text& remote) {
  return ToNumber(local) - ToNumber(remote) < -0.0000001;
}

void UpdateCreated() {
  if (g_check.request.Valid()) g_check.request.Cancel();  // an earlier window's check
  const std::uint64_t id = ++g_check.id;
  g_check.open = true;
  // The update window stays loaded and hidden meanwhile; the main window is
  // shown and usable at once. The answer is taken up on the GUI thread.
  HttpRequest version;
  version.url = UpdateServerUrl("/lirvo/banben");
  version.kind = HttpKind::kVersionText;
  version.retry = HttpRetry::kNone;  // one try, as the 10 s allow no second
  g_check.request = HttpSubmit(std::move(version));
  const HttpTicket request = g_check.request;
  request.OnDone([id, request] {
    // A server that is down answers with the empty text, which reads as 0.
    Text answer = ToText(request.Wait().body);
    ui::PostWhenIdle([id, answer = std::move(answer)] { Conclude(id, answer); });
  });
  ui::PostWhenIdle([id] { Conclude(id, std::nullopt); }, kAnswerMilliseconds);
}

}  // namespace lirvo::update
