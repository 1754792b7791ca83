#include "library/category_lists.h"

#include "collect/state.h"
#include "library/search.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::library {

using namespace lirvo::literals;
namespace bw = ui::browse_win;

namespace {

Text CurrentCategory(bool completed) {
  return ui::ComboText(completed ? bw::完本类 : bw::连载类);
}

// List the side's folder (which rebuilds the pool), hand the focus to the file
// box and let its refresh run.
void SwitchFolder(bool completed) {
  ui::SetFileBoxFolder(bw::文件框1, layout::ArchiveFolder(layout::CategoryPath(
                                        completed, CurrentCategory(completed))));
  ui::SetFocus(bw::文件框1);
  ui::Delay(collect::State().responseDelay);
}

}  // namespace

Text ArchivePattern(const Text& folder) {
  if (RightText(folder, 1) == "\\") return folder + "*.rar";
  return folder + "\\*.rar";
}

Text TitleOfName(const Text& name) {
  return LeftText(name, TextLength(name) - 4);
}

void RebuildTitlePool() {
  const Text pattern = ArchivePattern(ui::FileBoxFolder(bw::文件框1));
  int search = 0;
  // Files only with filter 0: folders named like archives stay out, hidden
  // files come in.
  Text name = FindFile(pattern, 0, 1, search);
  ui::ListClear(bw::列表框1);
  while (!name.empty()) {
    ui::ListAddItem(bw::列表框1, TitleOfName(name));
    name = FindFile({}, 0, 1, search);
  }
  FindFileClose(search);
}

void BrowseCreated() {
  ui::SetFileBoxFolder(bw::文件框1,
                       layout::ArchiveFolder(layout::CategoryPath(true, CurrentCategory(true))));
  // Every search would fail: the user hears why once, on opening.
  ToldIndexUnreadable();
}

void BrowseDestroyed() {
  ui::EndProgram(0);
}

void BrowseCompletedChosen() {
  ui::SetVisible(bw::完本类, true);
  ui::SetVisible(bw::连载类, false);
  SwitchFolder(true);
}

void BrowseOngoingChosen() {
  ui::SetVisible(bw::完本类, false);
  ui::SetVisible(bw::连载类, true);
  SwitchFolder(false);
}

void BrowseCompletedSelected() {
  SwitchFolder(true);
}

void BrowseOngoingSelected() {
  SwitchFolder(false);
}

}  // namespace lirvo::library
