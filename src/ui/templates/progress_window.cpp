// The progress window: one read-only text field that follows the window's size.
#include "ui/templates/builder.h"

namespace lirvo::ui {

using namespace lirvo::literals;
using templates::Add;
using templates::Bind;
using templates::Control;

WindowTemplate ProgressWindowTemplate() {
  WindowTemplate t;
  t.id = Window::Progress;
  t.attributes.border = Border::Resizable;
  t.attributes.systemMenu = false;
  t.attributes.minimizeButton = false;
  t.attributes.maximizeButton = false;
  t.attributes.movable = false;

  UnitTemplate window = Control("窗口", UnitType::Window, 0, 0, 711, 230);
  window.text = "小说采集页面 BY：Tovan"_gbk;
  window = Bind(window, event::kResized, Handler::ProgressResized);
  window = Bind(window, event::kDestroyed, Handler::ProgressDestroyed);
  window = Bind(window, event::kCloseQuery, Handler::ProgressCloseQuery);
  Add(t, progress_win::窗口, window);

  UnitTemplate text = Control("编辑框1", UnitType::RichEdit, 0, 0, 712, 232);
  text.spokenName = "小说采集页面"_gbk;
  text.readOnly = true;
  text.sunken = true;
  text.text =
      Text(6, ' ') + "\r\n\r\n\r\n\r\n\r\n\r\n" + Text(51, ' ') + "捕捉页面中，请稍候。。。"_gbk;
  Add(t, progress_win::编辑框1, text);
  return t;
}

}  // namespace lirvo::ui
