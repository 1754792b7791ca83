#include "ui/caption_fit_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>

#include "ui/widgets_qt.h"

namespace lirvo::ui {
namespace {

// QLineEdit keeps these inner margins of its text to itself.
constexpr int kLineEditHorizontalMargin = 2;
constexpr int kLabelIndent = 2;

QRect ButtonArea(const QAbstractButton* button, QStyle::SubElement element) {
  QStyleOptionButton option;
  option.initFrom(button);
  option.text = button->text();
  if (const auto* push = qobject_cast<const QPushButton*>(button)) {
    if (push->isFlat()) option.features |= QStyleOptionButton::Flat;
  }
  return button->style()->subElementRect(element, &option, button);
}

bool Fits(const QWidget* widget, const QFont& font) {
  const QString text = ShownCaption(widget);
  const QRect area = CaptionArea(widget);
  const QFontMetrics metrics(font);
  if (dynamic_cast<const TransLabelWidget*>(widget) != nullptr) {
    // Word-wrapped: the lines must fit the label's height.
    const QRect needed = metrics.boundingRect(area, Qt::TextWordWrap, text);
    return needed.width() <= area.width() && needed.height() <= area.height();
  }
  return metrics.horizontalAdvance(text) <= area.width();
}

}  // namespace

void ApplyProgramFont() {
  QFont font(QStringLiteral("AR PL UMing CN"));
  font.setPixelSize(kProgramFontPixels);
  QApplication::setFont(font);
}

QString ShownCaption(const QWidget* widget) {
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
    // Any item may become the shown one.
    QString widest;
    const QFontMetrics metrics(combo->font());
    for (int i = 0; i < combo->count(); ++i) {
      if (metrics.horizontalAdvance(combo->itemText(i)) > metrics.horizontalAdvance(widest))
        widest = combo->itemText(i);
    }
    return widest;
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
  return {};
}

QRect CaptionArea(const QWidget* widget) {
  if (qobject_cast<const QRadioButton*>(widget) != nullptr)
    return ButtonArea(static_cast<const QAbstractButton*>(widget), QStyle::SE_RadioButtonContents);
  if (qobject_cast<const QCheckBox*>(widget) != nullptr)
    return ButtonArea(static_cast<const QAbstractButton*>(widget), QStyle::SE_CheckBoxContents);
  if (const auto* button = dynamic_cast<const PictureButton*>(widget)) {
    // The caption is as wide as it needs to be; it must not run into the picture.
    if (button->HasPicture()) {
      const QRect contents = ButtonArea(button, QStyle::SE_PushButtonContents);
      const int left = button->PictureArea().right() + 1;
      return QRect(left, contents.top(), contents.right() + 1 - left, contents.height());
    }
  }
  if (const auto* button = qobject_cast<const QPushButton*>(widget))
    return ButtonArea(button, QStyle::SE_PushButtonContents);
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    const int indent = std::max(0, label->indent());
    return label->contentsRect().adjusted(indent, 0, 0, 0);
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->hasFrame()
                           ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit)
                           : 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
    return contents.adjusted(kLineEditHorizontalMargin, 0, -kLineEditHorizontalMargin, 0);
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    return combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                          QStyle::SC_ComboBoxEditField, combo);
  }
  return {};
}

void FitCaption(QWidget* widget) {
  // Style sheets and the style's metrics apply from the polish on.
  widget->ensurePolished();
  // A label's text keeps off its left edge, which may be the window's.
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (label->indent() < kLabelIndent) label->setIndent(kLabelIndent);
  }
  if (ShownCaption(widget).isEmpty() || CaptionArea(widget).isEmpty()) return;
  QFont font = widget->font();
  if (Fits(widget, font)) return;
  const int start = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
  for (int pixels = start - 1; pixels >= kSmallestFontPixels; --pixels) {
    font.setPixelSize(pixels);
    if (Fits(widget, font) || pixels == kSmallestFontPixels) break;
  }
  widget->setFont(font);
}

}  // namespace lirvo::ui
