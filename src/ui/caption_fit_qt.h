#pragma once
// The font the windows are drawn with and the rule that makes every caption
// fit its control. Internal to the window engine.
//
// Controls without a font of their own use the Song face at 12 pixels, the
// size of the system's default GUI font (9 points at 96 dpi), whatever the
// desktop's own font. A caption still wider than the room its control gives
// it is drawn at the largest smaller pixel size at which it fits, down to
// kSmallestFontPixels; the control keeps its size and place.
#include <QRect>
#include <QString>

class QWidget;

namespace lirvo::ui {

inline constexpr int kProgramFontPixels = 12;
inline constexpr int kSmallestFontPixels = 8;

// Sets the application font (needs the application object).
void ApplyProgramFont();

// The text the control shows as its caption (for a combo box its widest
// item), and where it is drawn. An empty area for controls without one.
QString ShownCaption(const QWidget* widget);
QRect CaptionArea(const QWidget* widget);

// Applies the fitting rule to a control just built from its template.
void FitCaption(QWidget* widget);

}  // namespace lirvo::ui
