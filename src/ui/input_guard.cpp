// Clicks and keys act only where the user can see them act: input to a
// hidden or disabled window is dropped, and so is input to any window while
// a request waits, so that nothing the user did meanwhile starts afterwards.
// A message box asked during the wait (a close query) takes its answer.
#include <QApplication>
#include <QEvent>
#include <QWidget>

#include "ui/engine_qt.h"

namespace lirvo::ui {

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
      return true;
    default:
      return false;
  }
}

class InputGuard : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (!IsUserInput(e->type()) || !watched->isWidgetType()) return false;
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    if (!window->isVisible() || !window->isEnabled()) return true;
    if (!Engine::Get().InRequest()) return false;
    return window != QApplication::activeModalWidget();
  }
};

}  // namespace

void InstallInputGuard() {
  qApp->installEventFilter(new InputGuard);  // lives as long as the application
}

}  // namespace lirvo::ui
