#include "collect/folder_tree.h"

#include "collect/run_problems.h"
#include "services/files.h"
#include "services/library_check.h"
#include "services/library_layout.h"
#include "ui/window_services.h"

namespace lirvo::collect {

namespace {

std::vector<Text> RunFolders() {
  // The completed list bounds the categories (see layout::FolderTree).
  std::vector<Text> completed, ongoing;
  for (int i = 0;; ++i) {
    const Text name = ui::ComboItemText(ui::main_win::完本类, i);
    if (name.empty()) break;
    completed.push_back(name);
    ongoing.push_back(ui::ComboItemText(ui::main_win::连载类, i));
  }
  return layout::FolderTree(completed, ongoing);
}

}  // namespace

void CreateFolderTree() {
  // One level per call; an existing folder or a missing parent is left alone.
  for (const Text& folder : RunFolders()) CreateFolder(folder);
}

void PrepareLibrary() {
  if (const auto obstacle = FindObstacle(RunFolders(), {layout::NovelIndexPath()})) {
    ReportLibraryObstacle(obstacle->path, obstacle->error);
    return;
  }
  RemoveStaleTemporaries(layout::NovelFolder());
  RemoveStaleTemporaries(layout::CacheFolder());
}

}  // namespace lirvo::collect
