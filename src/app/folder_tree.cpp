#include "app/folder_tree.h"

#include "services/files.h"
#include "services/gbk.h"
#include "ui/window_services.h"

namespace lirvo::app {

using namespace lirvo::literals;

void CreateFolderTree() {
  // One level per call; an existing folder or a missing parent is left alone.
  for (const char* folder : {"缓存", "小说", "小说\\jpg", "小说\\ini", "小说\\连载中", "小说\\完本",
                             "小说\\ini\\完本", "小说\\ini\\连载中"}) {
    CreateFolder(Utf8ToGbk(folder));
  }
  // The completed list bounds the loop; past the end of the ongoing list its
  // names are empty and the steps that use them name existing folders.
  for (int i = 0;; ++i) {
    const Text completed = ui::ComboItemText(ui::main_win::完本类, i);
    const Text ongoing = ui::ComboItemText(ui::main_win::连载类, i);
    if (completed.empty()) break;
    CreateFolder("小说\\连载中\\"_gbk + ongoing);
    CreateFolder("小说\\完本\\"_gbk + completed);
    CreateFolder("小说\\ini\\完本\\"_gbk + completed);
    CreateFolder("小说\\ini\\连载中\\"_gbk + ongoing);
    CreateFolder("缓存\\"_gbk + completed);
    CreateFolder("缓存\\"_gbk + ongoing);
  }
}

}  // namespace lirvo::app
