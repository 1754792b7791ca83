#include "ui/wayland_windows.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace lirvo::ui {

bool OnWayland() {
  return QGuiApplication::platformName().startsWith(u"wayland"_qs);
}

void KeepAboveProgramWindow(QWidget* window) {
  QWidget* below = nullptr;
  for (QWidget* other : QApplication::topLevelWidgets()) {
    if (other == window || !other->isVisible() || other->windowType() == Qt::Popup ||
        other->windowType() == Qt::ToolTip || other->windowType() == Qt::Desktop)
      continue;
    // Any shown window of the program will do; the active one is preferred.
    if (below == nullptr || other->isActiveWindow()) below = other;
  }
  if (below == nullptr) return;
  // The compositor learns of the parent when the window's surface gets its
  // role, that is at the show: the native windows must exist before.
  window->winId();
  below->winId();
  window->windowHandle()->setTransientParent(below->windowHandle());
}

}  // namespace lirvo::ui
