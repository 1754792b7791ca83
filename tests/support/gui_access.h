#pragma once
// White-box access for window engine tests: the live Qt object behind a unit,
// and the template record of a window. Only for test targets that link Qt.
#include <QWidget>

#include "ui/engine_qt.h"

namespace lirvo::test {

inline QObject* LiveObject(ui::Unit u) {
  ui::LiveWindow* live = ui::Engine::Get().Find(u.window);
  if (live == nullptr || u.index < 0 || static_cast<std::size_t>(u.index) >= live->units.size()) {
    return nullptr;
  }
  return live->units[static_cast<std::size_t>(u.index)];
}

template <typename T = QWidget>
T* Live(ui::Unit u) {
  return dynamic_cast<T*>(LiveObject(u));
}

inline ui::WindowTemplate& RecordOf(ui::Window window) {
  return ui::Engine::Get().Record(window);
}

// Adds a binding to a window's record (the record is put back by
// ResetWindowsForTest), so a test can watch events no template binds.
inline void BindForTest(ui::Unit u, int event, ui::Handler handler) {
  RecordOf(u.window).units[static_cast<std::size_t>(u.index)].events.push_back({event, handler});
}

}  // namespace lirvo::test
