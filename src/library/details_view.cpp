#include "library/details_view.h"

#include "library/category_lists.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::library {

using namespace lirvo::literals;
namespace bw = ui::browse_win;

namespace {

// The introduction up to its first NUL or 0x1A byte; empty when the file is
// missing or cannot be opened. The file is closed again at once: the process
// may hold only so many open files, and the user may select thousands.
Text ReadIntroduction(const Text& path) {
  const int file = OpenFile(path);
  if (file == 0) return {};
  Text text = ReadTextFromFile(file);
  CloseFile(file);
  return text;
}

}  // namespace

Text DetailsHead(const Text& title) {
  return title + " 简介：\r\n  "_gbk;
}

Text NoIntroductionNotice() {
  return "该文件没有简介  或者重新采集下该类文件！！"_gbk;
}

void BrowseFileSelected() {
  // The radio button decides the side, not which category list is visible.
  const bool completed = ui::Checked(bw::单选框1);
  const Text category = ui::ComboText(completed ? bw::完本类 : bw::连载类);
  const Text title = TitleOfName(ui::FileBoxSelected(bw::文件框1));

  const Text head = DetailsHead(title);
  ui::SetCaption(bw::标签1, head + ReadIntroduction(layout::IntroductionPath(
                                       layout::CategoryPath(completed, category), title)));
  if (ui::Caption(bw::标签1) == head) ui::SetCaption(bw::标签1, head + NoIntroductionNotice());

  // A missing cover reads as the empty byte set, which empties the picture box.
  ui::SetPicture(bw::图片框1, ReadFile(layout::CoverPath(title)));
}

void BrowseFileDoubleClicked() {
  ui::OpenUrl(ui::FileBoxFolder(bw::文件框1) + "\\" + ui::FileBoxSelected(bw::文件框1));
}

}  // namespace lirvo::library
