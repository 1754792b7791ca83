// The browse window: the library browser shown after a collection run.
#include "ui/templates/builder.h"
#include "ui/templates/site_rules.h"

namespace lirvo::ui {

using namespace lirvo::literals;
using templates::Add;
using templates::Bind;
using templates::Control;
using templates::Font;
using templates::Hidden;

WindowTemplate BrowseWindowTemplate() {
  WindowTemplate t;
  t.id = Window::Browse;
  t.attributes.border = Border::Fixed;
  t.attributes.systemMenu = true;
  t.attributes.minimizeButton = false;
  t.attributes.maximizeButton = false;
  t.attributes.escCloses = true;
  t.attributes.defaultFocus = browse_win::完本类.index;

  UnitTemplate window = Control("窗口", UnitType::Window, 0, 0, 394, 409);
  window.text = "Lirvo-搜小说 -BY：Tovan"_gbk;
  window = Bind(window, event::kCreated, Handler::BrowseCreated);
  window = Bind(window, event::kDestroyed, Handler::BrowseDestroyed);
  Add(t, browse_win::窗口, window);

  UnitTemplate completedKind = Font(Control("单选框1", UnitType::RadioBox, 0, 0, 48, 25), -14);
  completedKind.text = "完本"_gbk;
  completedKind.checked = true;
  Add(t, browse_win::单选框1, Bind(completedKind, event::kClicked, Handler::BrowseCompletedChosen));

  UnitTemplate ongoingKind = Font(Control("单选框2", UnitType::RadioBox, 56, 0, 72, 25), -14);
  ongoingKind.text = "连载中"_gbk;
  Add(t, browse_win::单选框2, Bind(ongoingKind, event::kClicked, Handler::BrowseOngoingChosen));

  UnitTemplate ongoing = Hidden(Control("连载类", UnitType::ComboBox, 128, 0, 82, 20));
  ongoing.spokenName = "连载类"_gbk;
  ongoing.items = rules::OngoingCategories();
  ongoing.selected = 0;
  Add(t, browse_win::连载类, Bind(ongoing, event::kItemSelected, Handler::BrowseOngoingSelected));

  UnitTemplate completed = Control("完本类", UnitType::ComboBox, 133, 0, 83, 20);
  completed.spokenName = "完本类"_gbk;
  completed.items = rules::CompletedCategories();
  completed.selected = 0;
  Add(t, browse_win::完本类,
      Bind(completed, event::kItemSelected, Handler::BrowseCompletedSelected));

  UnitTemplate files = Control("文件框1", UnitType::FileBox, 0, 24, 224, 192);
  files.sorted = true;
  files = Bind(files, event::kSelectionChanged, Handler::BrowseFileSelected);
  files = Bind(files, event::kFolderSet, Handler::BrowseFolderSet);
  Add(t, browse_win::文件框1, Bind(files, event::kDoubleClicked, Handler::BrowseFileDoubleClicked));

  Add(t, browse_win::图片框1, Control("图片框1", UnitType::PicBox, 224, 0, 152, 216));

  // The title pool: hidden and outside the picture box that holds it.
  UnitTemplate pool = Hidden(Control("列表框1", UnitType::ListBox, -72, 32, 32, 32));
  pool.parent = browse_win::图片框1.index;
  Add(t, browse_win::列表框1, pool);

  UnitTemplate timer = Control("时钟1", UnitType::Timer, 0, 0, 0, 0);
  timer.parent = browse_win::图片框1.index;
  timer.interval = 5000;
  Add(t, browse_win::时钟1, Bind(timer, event::kTick, Handler::BrowseTimerTick));

  Add(t, browse_win::标签1, Control("标签1", UnitType::TransLabel, 0, 232, 384, 112));

  UnitTemplate search = Control("编辑框1", UnitType::EditBox, 0, 352, 224, 24);
  search.spokenName = "搜索文件"_gbk;
  search.text = " ";
  search.matchList = true;
  search = Bind(search, event::kGotFocus, Handler::BrowseSearchGotFocus);
  Add(t, browse_win::编辑框1, Bind(search, event::kLostFocus, Handler::BrowseSearchLostFocus));

  UnitTemplate find = Control("按钮1", UnitType::Button, 232, 352, 144, 24);
  find.text = "搜索文件 是文件总名称"_gbk;
  Add(t, browse_win::按钮1, Bind(find, event::kClicked, Handler::BrowseSearchClicked));
  return t;
}

}  // namespace lirvo::ui
