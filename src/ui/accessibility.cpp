// What assistive technology (a screen reader over AT-SPI) sees of the windows:
// only what a sighted user sees. Hidden controls hold data or do work out of
// sight; they stay out of the accessibility tree.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>

#include "ui/engine_qt.h"
#include "ui/widgets_qt.h"

namespace lirvo::ui {

namespace {

QList<QWidget*> ShownChildren(const QWidget* widget) {
  QList<QWidget*> shown;
  for (QObject* child : widget->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w != nullptr && !w->isWindow() && !w->isHidden()) shown.append(w);
  }
  return shown;
}

// A window or picture box whose children are its shown controls.
class ShownChildrenAccessible : public QAccessibleWidget {
 public:
  ShownChildrenAccessible(QWidget* widget, QAccessible::Role role)
      : QAccessibleWidget(widget, role) {}

  int childCount() const override { return static_cast<int>(ShownChildren(widget()).size()); }

  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = ShownChildren(widget());
    if (index < 0 || index >= shown.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(shown.at(index));
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    return static_cast<int>(ShownChildren(widget()).indexOf(child->object()));
  }
};

// Qt names a combo box on Linux by its current text and leaves the label to
// a label relation; these combo boxes have no label, so the name says what
// they choose and the value is the current item.
class ComboAccessible : public QAccessibleWidget {
 public:
  explicit ComboAccessible(ComboWidget* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return Combo()->currentText();
    return QAccessibleWidget::text(t);
  }

  // The drop-down list, once it exists.
  int childCount() const override { return Combo()->view() != nullptr ? 1 : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index != 0 || Combo()->view() == nullptr) return nullptr;
    return QAccessible::queryAccessibleInterface(Combo()->view());
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child != nullptr && child->object() == Combo()->view() ? 0 : -1;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }
  void doAction(const QString& name) override {
    if (name == showMenuAction()) {
      Combo()->showPopup();
    } else {
      QAccessibleWidget::doAction(name);
    }
  }

 private:
  ComboWidget* Combo() const { return static_cast<ComboWidget*>(widget()); }
};

QList<QWidget*> ShownWindows() {
  QList<QWidget*> shown;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    const Qt::WindowType type = window->windowType();
    if (window->isVisible() && type != Qt::Popup && type != Qt::Desktop) shown.append(window);
  }
  return shown;
}

// The program: its shown windows, not the hidden ones that hold data (the
// collection page window, the main window during a run).
class ProgramAccessible : public QAccessibleObject {
 public:
  explicit ProgramAccessible(QApplication* app) : QAccessibleObject(app) {}

  QAccessibleInterface* parent() const override { return nullptr; }
  int childCount() const override { return static_cast<int>(ShownWindows().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> shown = ShownWindows();
    if (index < 0 || index >= shown.size()) return nullptr;
    return QAccessible::queryAccessibleInterface(shown.at(index));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (child == nullptr) return -1;
    return static_cast<int>(ShownWindows().indexOf(qobject_cast<QWidget*>(child->object())));
  }
  QAccessibleInterface* focusChild() const override {
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? QAccessible::queryAccessibleInterface(active) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? QCoreApplication::applicationName() : QString();
  }
  QAccessible::Role role() const override { return QAccessible::Application; }
  QAccessible::State state() const override { return {}; }
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* app = qobject_cast<QApplication*>(object)) return new ProgramAccessible(app);
  if (auto* combo = dynamic_cast<ComboWidget*>(object)) return new ComboAccessible(combo);
  if (auto* window = dynamic_cast<WindowWidget*>(object)) {
    return new ShownChildrenAccessible(window, QAccessible::Window);
  }
  if (auto* box = dynamic_cast<PictureBoxWidget*>(object)) {
    return new ShownChildrenAccessible(box, QAccessible::Graphic);
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  QAccessible::installFactory(Factory);
}

}  // namespace lirvo::ui
