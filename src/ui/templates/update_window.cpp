// The update window: loaded hidden at start, shown when a newer version exists.
#include "lirvo/version.h"
#include "ui/templates/builder.h"

namespace lirvo::ui {

using namespace lirvo::literals;
using templates::Add;
using templates::Bind;
using templates::Control;
using templates::Font;
using templates::Hidden;

WindowTemplate UpdateWindowTemplate() {
  WindowTemplate t;
  t.id = Window::Update;
  t.attributes.border = Border::Resizable;
  t.attributes.systemMenu = false;
  t.attributes.minimizeButton = false;
  t.attributes.maximizeButton = false;
  t.attributes.escCloses = true;
  t.attributes.topmost = true;
  t.attributes.defaultFocus = update_win::编辑框1.index;

  UnitTemplate window = Hidden(Control("窗口", UnitType::Window, 0, 0, 189, 148));
  window.text = "Lirvo-程序更新"_gbk;
  Add(t, update_win::窗口, Bind(window, event::kCreated, Handler::UpdateCreated));

  UnitTemplate versionWord = Control("编辑框1", UnitType::EditBox, 0, 0, 72, 32);
  versionWord.spokenName = "本程序版本"_gbk;
  versionWord.text = "本程序版本"_gbk;
  Add(t, update_win::编辑框1, versionWord);

  UnitTemplate version = Font(Control("编辑框2", UnitType::EditBox, 72, 0, 48, 32), -19);
  version.spokenName = "本程序版本"_gbk;
  version.text = kVersion;
  version.background = Rgb{192, 192, 192};
  Add(t, update_win::编辑框2, version);

  UnitTemplate newestWord = Control("编辑框4", UnitType::EditBox, 0, 40, 72, 32);
  newestWord.spokenName = "本程序最新版本"_gbk;
  newestWord.text = "本程序最新版本"_gbk;
  Add(t, update_win::编辑框4, newestWord);

  UnitTemplate newest = Font(Control("编辑框3", UnitType::EditBox, 72, 40, 48, 32), -19);
  newest.spokenName = "本程序最新版本"_gbk;
  newest.text = "1120";
  newest.background = Rgb{255, 255, 0};
  Add(t, update_win::编辑框3, newest);

  UnitTemplate quit = Control("按钮2", UnitType::Button, 136, 0, 48, 72);
  quit.text = "退出"_gbk;
  Add(t, update_win::按钮2, Bind(quit, event::kClicked, Handler::UpdateQuitClicked));

  UnitTemplate start = Control("按钮1", UnitType::Button, 0, 80, 184, 32);
  start.text = "已有最新版本，是否更新"_gbk;
  Add(t, update_win::按钮1, Bind(start, event::kClicked, Handler::UpdateStartClicked));
  return t;
}

}  // namespace lirvo::ui
