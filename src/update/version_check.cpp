#include "update/version_check.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <utility>

#include "lirvo/hosts.h"
#include "services/http.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::update {

namespace uw = ui::update_win;
namespace mw = ui::main_win;

namespace {

using Clock = std::chrono::steady_clock;

// An answer later than this is not waited for.
constexpr std::chrono::seconds kAnswerTime{10};
constexpr int kWatchMilliseconds = 250;

// The check being waited for; GUI thread only. An answer of an earlier check
// (tests load the windows many times) finds another id and is dropped.
struct Check {
  std::uint64_t id = 0;
  bool open = false;
  Clock::time_point deadline;
};
Check g_check;

bool MainWindowShown() {
  return ui::IsLoaded(ui::Window::Main) && ui::Visible(mw::窗口);
}

// Ends the check with the version text, or without one (given up).
void Conclude(std::uint64_t id, const std::optional<Text>& answer) {
  if (id != g_check.id || !g_check.open) return;
  g_check.open = false;
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

// Gives up as soon as the answer is late or the main window has gone.
void Watch(std::uint64_t id) {
  if (id != g_check.id || !g_check.open) return;
  if (Clock::now() >= g_check.deadline || !MainWindowShown()) {
    Conclude(id, std::nullopt);
    return;
  }
  ui::PostWhenIdle([id] { Watch(id); }, kWatchMilliseconds);
}

}  // namespace

Text UpdateServerUrl(const char* path) {
  return Text("http://") + hosts::kUpdate + path;
}

bool IsNewerVersion(const Text& local, const Text& remote) {
  return ToNumber(local) - ToNumber(remote) < -0.0000001;
}

void UpdateCreated() {
  const std::uint64_t id = ++g_check.id;
  g_check.open = true;
  g_check.deadline = Clock::now() + kAnswerTime;
  // The update window stays loaded and hidden meanwhile; the main window is
  // shown and usable at once.
  std::thread([id, url = UpdateServerUrl("/lirvo/banben")] {
    // A server that is down answers with the empty text, which reads as 0.
    Text answer = ToText(HttpFetch(url, HttpKind::kVersionText).body);
    ui::PostWhenIdle([id, answer = std::move(answer)] { Conclude(id, answer); });
  }).detach();
  ui::PostWhenIdle([id] { Watch(id); }, kWatchMilliseconds);
}

}  // namespace lirvo::update
