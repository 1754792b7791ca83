// The collection page window: never shown; it carries the marker texts that
// cut listing and download pages, and three work buffers.
#include "ui/templates/builder.h"
#include "ui/templates/site_rules.h"

namespace lirvo::ui {

using templates::Add;
using templates::Control;
using templates::Hidden;

WindowTemplate CollectPageWindowTemplate() {
  WindowTemplate t;
  t.id = Window::CollectPage;
  t.attributes.border = Border::Resizable;

  Add(t, page_win::窗口, Hidden(Control("窗口", UnitType::Window, 0, 0, 471, 338)));

  // Marker fields then work fields; their place does not matter, the window
  // is never shown.
  const Unit fields[] = {
      page_win::列表头, page_win::列表尾, page_win::列表尾1,  page_win::小说头,
      page_win::小说尾, page_win::序号尾, page_win::标题头,   page_win::标题尾,
      page_win::作者头, page_win::作者尾, page_win::简介头,   page_win::图片头,
      page_win::图片尾, page_win::列表,   page_win::小说简介, page_win::剩余标题};
  for (const Unit& id : fields) {
    const int column = (id.index - 1) % 4;
    const int row = (id.index - 1) / 4;
    UnitTemplate field =
        Control(id.name, UnitType::RichEdit, 8 + column * 112, 8 + row * 72, 104, 64);
    field.text = rules::MarkerText(id);
    Add(t, id, field);
  }
  return t;
}

}  // namespace lirvo::ui
