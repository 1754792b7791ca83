#pragma once
// Input as a person gives it, for tests that drive the windows: mouse presses
// and releases on the widget under the pointer (or through the window, as the
// display server delivers a double click), keys to whatever has the focus.
// Header-only; for test targets that link Qt Widgets and Qt Test.
#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QListWidget>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include "ui/window_services.h"

namespace lirvo::test::input {

inline void Activate(QWidget* window) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

inline void Click(QWidget* widget, Qt::KeyboardModifiers modifiers = {}, QPoint at = {}) {
  Activate(widget->window());
  QTest::mouseClick(widget, Qt::LeftButton, modifiers, at);
  ui::ProcessPendingEvents();
}

// A key goes to whatever has the focus, as from the keyboard.
inline void Press(Qt::Key key) {
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  QTest::keyClick(focused, key);
  ui::ProcessPendingEvents();
}

inline QPoint RowCentre(QListWidget* box, int row) {
  box->scrollToItem(box->item(row));
  return box->visualItemRect(box->item(row)).center();
}

inline void ClickRow(QListWidget* box, int row, Qt::KeyboardModifiers modifiers = {}) {
  Click(box->viewport(), modifiers, RowCentre(box, row));
}

// Press, release, press, double click, release, through the window.
inline void DoubleClickRow(QListWidget* box, int row, Qt::MouseButton button = Qt::LeftButton) {
  QWidget* window = box->window();
  Activate(window);
  const QPoint at = box->viewport()->mapTo(window, RowCentre(box, row));
  QTest::mouseDClick(window->windowHandle(), button, {}, at);
  ui::ProcessPendingEvents();
}

// The window manager's close (its close box, Alt+F4) as the platform hands it
// to the window. No ProcessPendingEvents: a test may send it inside a wait.
inline void CloseByWindowManager(QWidget* window) {
  QCloseEvent close;
  QSpontaneKeyEvent::setSpontaneous(&close);
  QApplication::sendEvent(window->windowHandle(), &close);
}

// Opens the list with a click on the combo box, then clicks one of its items.
inline void ChooseFromList(QComboBox* box, int index) {
  Activate(box->window());
  QTest::mouseClick(box, Qt::LeftButton);
  QAbstractItemView* list = box->view();
  ASSERT_TRUE(list->isVisible()) << "the list opens";
  // A release straight after the opening press does not choose.
  QTest::qWait(QApplication::doubleClickInterval() + 20);
  const QPoint item = list->visualRect(list->model()->index(index, 0)).center();
  QTest::mouseMove(list->viewport(), item);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item);
  ui::ProcessPendingEvents();
  EXPECT_FALSE(list->isVisible()) << "the list closes";
}

}  // namespace lirvo::test::input
