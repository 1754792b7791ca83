#pragma once
// Small helpers that keep the template tables readable.
#include <cstdio>
#include <cstdlib>
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

// Appends a unit to its template at the place `id` gives it. A unit out of
// order (a control inserted without its id) or under another name stops the
// program here, instead of letting every later id point at the wrong control.
inline void Add(WindowTemplate& t, Unit id, UnitTemplate u) {
  const int place = static_cast<int>(t.units.size());
  if (id.window != t.id || id.index != place || id.name == nullptr ||
      Utf8ToGbk(id.name) != u.name) {
    std::fprintf(stderr,
                 "window template %d: unit %s at place %d, ids.h has %s at %d of window %d\n",
                 static_cast<int>(t.id), GbkToUtf8(u.name).c_str(), place,
                 id.name != nullptr ? id.name : "?", id.index, static_cast<int>(id.window));
    std::abort();
  }
  t.units.push_back(std::move(u));
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
