// Radio buttons: exclusive on user input only, and moved with the arrow keys.
#include <QKeyEvent>

#include <algorithm>

#include "ui/widgets_qt.h"

namespace lirvo::ui {

RadioWidget::RadioWidget(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {
  // Auto-exclusive, so that the group is one tab stop and reads as radio
  // buttons to assistive technology; program writes step around it.
  setAutoExclusive(true);
}

void RadioWidget::SetCheckedAlone(bool checked) {
  const QSignalBlocker block(this);
  // An auto-exclusive button would clear its group, or refuse to be cleared.
  setAutoExclusive(false);
  setChecked(checked);
  setAutoExclusive(true);
}

std::vector<RadioWidget*> RadioWidget::Group() const {
  std::vector<RadioWidget*> group;
  if (QWidget* parent = parentWidget()) {
    for (QObject* child : parent->children()) {
      auto* radio = dynamic_cast<RadioWidget*>(child);
      if (radio != nullptr && (radio == this || (!radio->isHidden() && radio->isEnabled()))) {
        group.push_back(radio);
      }
    }
  }
  return group;
}

// Down and Right go to the next button of the group, Up and Left to the
// previous one, round the ends; a button not yet checked is chosen as by a click.
void RadioWidget::keyPressEvent(QKeyEvent* e) {
  int step = 0;
  if (e->key() == Qt::Key_Down || e->key() == Qt::Key_Right) step = 1;
  if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Left) step = -1;
  if (step == 0 || (e->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
    QRadioButton::keyPressEvent(e);
    return;
  }
  e->accept();
  const std::vector<RadioWidget*> group = Group();
  const auto count = static_cast<std::ptrdiff_t>(group.size());
  const auto here = std::find(group.begin(), group.end(), this) - group.begin();
  RadioWidget* next = group[static_cast<std::size_t>((here + step + count) % count)];
  if (next == this) return;
  next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  if (!next->isChecked()) next->click();
}

}  // namespace lirvo::ui
