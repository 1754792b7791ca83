#pragma once
// Small helpers that keep the template tables readable.
#include <utility>

#include "services/gbk.h"
#include "ui/template.h"

namespace lirvo::ui::templates {

inline UnitTemplate Control(const char* nameUtf8, UnitType type, int left, int top, int width,
                            int height) {
  UnitTemplate u;
  u.name = Utf8ToGbk(nameUtf8);
  u.type = type;
  u.left = left;
  u.top = top;
  u.width = width;
  u.height = height;
  return u;
}

inline UnitTemplate Hidden(UnitTemplate u) {
  u.visible = false;
  return u;
}

inline UnitTemplate Bind(UnitTemplate u, int event, Handler handler) {
  u.events.push_back({event, handler});
  return u;
}

inline UnitTemplate Font(UnitTemplate u, int height) {
  u.fontHeight = height;
  return u;
}

}  // namespace lirvo::ui::templates
