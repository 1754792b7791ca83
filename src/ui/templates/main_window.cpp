// The main window: the user's panel for a collection run.
#include "ui/templates/builder.h"
#include "ui/templates/site_rules.h"

namespace lirvo::ui {

using namespace lirvo::literals;
using templates::Add;
using templates::Bind;
using templates::Control;
using templates::Font;
using templates::Hidden;

WindowTemplate MainWindowTemplate() {
  WindowTemplate t;
  t.id = Window::Main;
  t.attributes.border = Border::Fixed;
  t.attributes.systemMenu = true;
  t.attributes.minimizeButton = true;
  t.attributes.maximizeButton = false;
  t.attributes.escCloses = true;
  t.attributes.backgroundPicture = ":/pictures/main_background.jpg";
  t.attributes.defaultFocus = main_win::编辑框1.index;

  UnitTemplate window = Control("窗口", UnitType::Window, 0, 0, 269, 161);
  window.text = "Lirvo     BY:Tovan";
  window = Bind(window, event::kCreated, Handler::MainCreated);
  window = Bind(window, event::kDestroyed, Handler::MainDestroyed);
  Add(t, main_win::窗口, window);

  UnitTemplate group = Font(Control("超级按钮1", UnitType::SuperBtn, 0, 8, 34, 20), -13);
  group.text = "加群"_gbk;
  group.tooltip = "学习使用方法、BUG举报、建议、内测优先权   尽在官方群：68118018"_gbk;
  Add(t, main_win::超级按钮1, Bind(group, event::kClicked, Handler::MainGroupLinkClicked));

  UnitTemplate author = Font(Control("超级按钮2", UnitType::SuperBtn, 35, 8, 32, 20), -13);
  author.text = "加Q"_gbk;
  author.tooltip = "该Q一般情况下不用于闲聊，用于举报BUG"_gbk;
  Add(t, main_win::超级按钮2, Bind(author, event::kClicked, Handler::MainAuthorLinkClicked));

  UnitTemplate pages = Font(Control("编辑框1", UnitType::EditBox, 72, 8, 56, 16), -19);
  pages.spokenName = "页"_gbk;
  pages.text = "1";
  Add(t, main_win::编辑框1, pages);

  UnitTemplate pageWord = Control("透明标签1", UnitType::TransLabel, 128, 8, 24, 16);
  pageWord.text = "页"_gbk;
  Add(t, main_win::透明标签1, pageWord);

  UnitTemplate completed = Control("完本类", UnitType::ComboBox, 165, 8, 96, 20);
  completed.spokenName = "完本类"_gbk;
  completed.items = rules::CompletedCategories();
  completed.selected = 0;
  Add(t, main_win::完本类, Bind(completed, event::kItemSelected, Handler::MainCompletedSelected));

  UnitTemplate ongoing = Hidden(Control("连载类", UnitType::ComboBox, 166, 8, 96, 20));
  ongoing.spokenName = "连载类"_gbk;
  ongoing.items = rules::OngoingCategories();
  ongoing.selected = 0;
  Add(t, main_win::连载类, Bind(ongoing, event::kItemSelected, Handler::MainOngoingSelected));

  UnitTemplate completedKind = Control("单选框1", UnitType::RadioBox, 8, 56, 48, 16);
  completedKind.text = "完本"_gbk;
  completedKind.checked = true;
  Add(t, main_win::单选框1, Bind(completedKind, event::kClicked, Handler::MainCompletedChosen));

  UnitTemplate ongoingKind = Control("单选框2", UnitType::RadioBox, 8, 80, 56, 16);
  ongoingKind.text = "连载中"_gbk;
  Add(t, main_win::单选框2, Bind(ongoingKind, event::kClicked, Handler::MainOngoingChosen));

  UnitTemplate overwrite = Hidden(Control("选择框1", UnitType::CheckBox, 72, 80, 120, 16));
  overwrite.text = "若重复覆盖文件"_gbk;
  overwrite.checked = true;
  Add(t, main_win::选择框1, overwrite);

  UnitTemplate collect = Control("按钮2", UnitType::Button, 208, 64, 56, 32);
  collect.text = "采集"_gbk;
  collect.picture = ":/pictures/collect_button.jpg";
  Add(t, main_win::按钮2, Bind(collect, event::kClicked, Handler::MainCollectClicked));

  UnitTemplate delayLabel = Font(Control("标签1", UnitType::Label, 0, 104, 112, 24), -10);
  delayLabel.text = "电脑响应时间：（毫秒）"_gbk;
  Add(t, main_win::标签1, delayLabel);

  UnitTemplate delayEdit = Control("编辑框2", UnitType::EditBox, 120, 104, 80, 24);
  delayEdit.spokenName = "电脑响应时间：（毫秒）"_gbk;
  delayEdit.text = "默认为：1"_gbk;
  Add(t, main_win::编辑框2, delayEdit);

  UnitTemplate confirm = Control("按钮3", UnitType::Button, 208, 104, 56, 24);
  confirm.text = "确认"_gbk;
  Add(t, main_win::按钮3, Bind(confirm, event::kClicked, Handler::MainDelayClicked));

  // The URL twins of the category lists: hidden, below the client area.
  UnitTemplate ongoingUrls = Hidden(Control("连载网页", UnitType::ComboBox, 48, 377, 264, 20));
  ongoingUrls.editable = true;
  ongoingUrls.items = rules::OngoingUrlPrefixes();
  ongoingUrls.selected = 0;
  Add(t, main_win::连载网页, ongoingUrls);

  UnitTemplate completedUrls = Hidden(Control("完本网页", UnitType::ComboBox, 32, 448, 264, 20));
  completedUrls.editable = true;
  completedUrls.items = rules::CompletedUrlPrefixes();
  completedUrls.selected = 0;
  Add(t, main_win::完本网页,
      Bind(completedUrls, event::kItemSelected, Handler::MainCompletedUrlSelected));

  Add(t, main_win::超文本浏览框1,
      Hidden(Control("超文本浏览框1", UnitType::HtmlViewer, 168, 120, 48, 24)));
  Add(t, main_win::超文本浏览框2,
      Hidden(Control("超文本浏览框2", UnitType::HtmlViewer, 24, 216, 48, 24)));
  return t;
}

}  // namespace lirvo::ui
