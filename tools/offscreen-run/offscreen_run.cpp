// lirvo-offscreen-run [pages] [category index] [response delay ms]: drives one
// collection run of a completed category (玄幻小说, 2 pages by default, the
// program's own response delay unless given) on the off-screen platform,
// against the site on the configured hosts. The library is written beside this
// program, as Lirvo writes it beside itself. Prints the summary question, which
// it answers with OK, and the library tree the run produced.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "collect/driver.h"
#include "collect/rules.h"
#include "collect/register.h"
#include "library/register.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/native_path.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace {

namespace fs = std::filesystem;
using lirvo::Text;

bool HoldsFiles(const fs::path& folder) {
  for (const auto& item : fs::recursive_directory_iterator(folder))
    if (!item.is_directory()) return true;
  return false;
}

// Folders that hold files, and the files with their sizes; empty category
// folders are left out.
void PrintTree(const fs::path& root) {
  std::vector<fs::path> paths;
  for (const auto& item : fs::recursive_directory_iterator(root)) paths.push_back(item.path());
  std::sort(paths.begin(), paths.end());
  const std::string base = root.parent_path().string() + "/";
  for (const fs::path& p : paths) {
    // The walk gives paths below the root; cutting the prefix avoids the
    // lookups of fs::relative, which would cost more than the run's records.
    const fs::path relative = p.string().substr(base.size());
    if (fs::is_directory(p)) {
      if (HoldsFiles(p)) std::printf("  %s/\n", relative.string().c_str());
    } else {
      std::printf("    %s  (%ju bytes)\n", relative.filename().string().c_str(),
                  static_cast<std::uintmax_t>(fs::file_size(p)));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string pages = argc > 1 ? argv[1] : "2";
  const int category = argc > 2 ? std::atoi(argv[2]) : 0;
  const char* delay = argc > 3 ? argv[3] : nullptr;

  lirvo::ui::Initialize();
  lirvo::InitProgramFolder();
  lirvo::collect::RegisterHandlers();
  lirvo::library::RegisterHandlers();

  Text summary;
  lirvo::ui::SetMessageBoxAnswerer([&summary](const Text& message, int, const Text&) {
    summary = message;
    return 0;  // OK: go on to the browse window
  });

  namespace mw = lirvo::ui::main_win;
  lirvo::ui::OpenWindow(lirvo::ui::Window::Main);
  lirvo::ui::ProcessPendingEvents();
  lirvo::ui::SetEditText(mw::编辑框1, pages);
  lirvo::ui::SetComboIndex(mw::完本类, category);
  lirvo::ui::SetComboIndex(mw::完本网页, category);
  if (delay != nullptr) {
    // As the user would: type the delay and click 确定.
    lirvo::ui::SetEditText(mw::编辑框2, delay);
    lirvo::collect::DelayClicked();
  }
  const Text name = lirvo::ui::ComboText(mw::完本类);
  std::printf("Collecting %s pages of %s (completed) into %s\n", pages.c_str(),
              lirvo::GbkToUtf8(name).c_str(), lirvo::GbkToUtf8(lirvo::ProgramFolder()).c_str());
  std::fflush(stdout);

  lirvo::collect::Collect();  // the 采集 button's handler
  lirvo::ui::ProcessPendingEvents();

  std::printf("\nSummary: %s\n\nLibrary:\n", lirvo::GbkToUtf8(summary).c_str());
  const fs::path root = fs::path(lirvo::NativePath(lirvo::ProgramFolder())) / "小说";
  if (fs::exists(root)) PrintTree(root);
  std::printf(
      "Cache folder left behind: %s\n",
      fs::exists(fs::path(lirvo::NativePath(lirvo::ProgramFolder())) / "缓存") ? "yes" : "no");
  std::fflush(stdout);
  lirvo::ui::EndProgram(summary.empty() ? 1 : 0);
}
