// The collection page window: never shown; it carries the marker texts that
// cut listing and download pages, and three work buffers.
#include "ui/templates/builder.h"
#include "ui/templates/site_rules.h"

namespace lirvo::ui {

using templates::Control;
using templates::Hidden;

WindowTemplate CollectPageWindowTemplate() {
  WindowTemplate t;
  t.id = Window::CollectPage;
  t.attributes.border = Border::Resizable;

  t.units.push_back(Hidden(Control("窗口", UnitType::Window, 0, 0, 471, 338)));

  // Marker fields then work fields, in the order of their unit ids; their place
  // does not matter, the window is never shown.
  const char* names[] = {"列表头", "列表尾", "列表尾1",  "小说头",  "小说尾", "序号尾",
                         "标题头", "标题尾", "作者头",   "作者尾",  "简介头", "图片头",
                         "图片尾", "列表",   "小说简介", "剩余标题"};
  int index = 1;
  for (const char* name : names) {
    const int column = (index - 1) % 4;
    const int row = (index - 1) / 4;
    UnitTemplate field = Control(name, UnitType::RichEdit, 8 + column * 112, 8 + row * 72, 104, 64);
    field.text = rules::MarkerText(Unit{Window::CollectPage, index});
    t.units.push_back(field);
    ++index;
  }
  return t;
}

}  // namespace lirvo::ui
