#pragma once
// What a user does for one collection run, in-process and off-screen: a fresh
// program start (minus the update check), the choices on the main window and
// the click on 采集. Shared by the tests that run whole collections against
// hostile or interrupted sites.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "collect/register.h"
#include "collect/state.h"
#include "library/register.h"
#include "services/gbk.h"
#include "ui/handlers.h"
#include "ui/handlers_internal.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::test {

struct RunChoice {
  bool completed = true;
  int category = 0;
  Text pages = "1";
  bool overwrite = true;  // 选择框1, ongoing runs only
};

inline void UserClicks(ui::Handler id) {
  if (ui::HandlerRoutine routine = ui::BoundRoutine(id)) routine();
}

// A fresh program start: handlers bound, message boxes answered by `answerer`,
// the main window open. False when the main window does not open.
inline bool StartProgram(std::function<int(const Text& message, int style)> answerer) {
  ui::Initialize();
  ui::ResetWindowsForTest();
  ui::ClearHandlers();
  collect::RegisterHandlers();
  library::RegisterHandlers();
  // Closing the browse window ends the program; the tests close it themselves.
  ui::RegisterHandler(ui::Handler::BrowseDestroyed, nullptr);
  collect::State() = collect::CollectionState{};
  ui::SetMessageBoxAnswerer(
      [answerer](const Text& message, int style, const Text&) { return answerer(message, style); });
  if (!ui::OpenWindow(ui::Window::Main)) return false;
  ui::ProcessPendingEvents();
  return true;
}

inline void StopProgram() {
  ui::ResetWindowsForTest();
  ui::ClearHandlers();
  ui::SetMessageBoxAnswerer(nullptr);
}

// Chooses on the main window as a user would, then clicks 采集.
inline void ChooseAndCollect(const RunChoice& c) {
  namespace mw = ui::main_win;
  ui::SetEditText(mw::编辑框1, c.pages);
  if (c.completed) {
    ui::SetChecked(mw::单选框1, true);
    ui::SetChecked(mw::单选框2, false);
    UserClicks(ui::Handler::MainCompletedChosen);
    ui::SetComboIndex(mw::完本类, c.category);
    UserClicks(ui::Handler::MainCompletedSelected);
  } else {
    ui::SetChecked(mw::单选框2, true);
    ui::SetChecked(mw::单选框1, false);
    ui::SetComboIndex(mw::连载类, c.category);
    UserClicks(ui::Handler::MainOngoingSelected);
    UserClicks(ui::Handler::MainOngoingChosen);
    ui::SetChecked(mw::选择框1, c.overwrite);
  }
  UserClicks(ui::Handler::MainCollectClicked);
  ui::ProcessPendingEvents();
}

// Every file under a folder (links included, folders not), as paths relative
// to it; an absent folder has none.
inline std::set<std::string> FilesUnder(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::set<std::string> files;
  std::error_code ec;
  if (!fs::exists(root, ec)) return files;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec))
      files.insert(fs::relative(it->path(), root).string());
  }
  return files;
}

// Every line a profile writer makes: "[section]" or "key=value", each ending
// in CR LF, a section header first. An empty file has no lines to check.
inline ::testing::AssertionResult WellFormedProfile(const std::string& bytes) {
  if (bytes.empty()) return ::testing::AssertionSuccess();
  if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)
    return ::testing::AssertionFailure() << "ends in the middle of a line";
  std::size_t pos = 0;
  bool first = true;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", pos);
    const std::string line = bytes.substr(pos, end - pos);
    pos = end + 2;
    const bool header = line.size() >= 2 && line.front() == '[' && line.back() == ']';
    if (first && !header) return ::testing::AssertionFailure() << "no section header first";
    if ((!header && line.find('=') == std::string::npos) ||
        line.find_first_of("\r\n") != std::string::npos)
      return ::testing::AssertionFailure() << "broken line \"" << GbkToUtf8(line) << "\"";
    first = false;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace lirvo::test
