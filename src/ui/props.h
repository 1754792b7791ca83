#pragma once
// Control property access: the only way the program logic reads and writes its
// windows. Widget-free. Texts are GBK. Addressing a window that is not loaded is
// the fatal runtime error report.
#include "services/text.h"
#include "ui/ids.h"

namespace lirvo::ui {

// Common properties (any unit).
int Left(Unit u);
int Top(Unit u);
int Width(Unit u);                // outer width
int Height(Unit u);               // outer height
void SetLeft(Unit u, int value);  // clamped to -32627 ... 32627
void SetTop(Unit u, int value);
void SetWidth(Unit u, int value);  // clamped to 0 ... 32627
void SetHeight(Unit u, int value);
bool Visible(Unit u);  // true only when the unit and all its parents are shown
void SetVisible(Unit u, bool visible);
bool Disabled(Unit u);
void SetDisabled(Unit u, bool disabled);

// Window.
Text Title(Unit window);
void SetTitle(Unit window, const Text& title);
bool TaskbarButton(Unit window);
void SetTaskbarButton(Unit window, bool on);

// Edit box.
Text EditText(Unit edit);
void SetEditText(Unit edit, const Text& text);

// Combo box.
Text ComboText(Unit combo);  // drop-down list: selected item's text or empty
void SetComboText(Unit combo, const Text& text);
int ComboIndex(Unit combo);                 // -1 when nothing is selected
void SetComboIndex(Unit combo, int index);  // clamped to -1 ... count-1

// Check box and radio button.
bool Checked(Unit box);
void SetChecked(Unit box, bool checked);  // a radio button alone; its group keeps its state

// File box.
Text FileBoxFolder(Unit box);
void SetFileBoxFolder(Unit box, const Text& folder);  // lists the folder again
Text FileBoxSelected(Unit box);                       // bare name of the selected entry, or empty

// Picture box: whole image file bytes (JPEG); empty removes the picture.
Bytes Picture(Unit box);
void SetPicture(Unit box, const Bytes& picture);

// Timer.
int TimerInterval(Unit timer);
void SetTimerInterval(Unit timer, int milliseconds);

// Transparent label.
Text Caption(Unit label);
void SetCaption(Unit label, const Text& caption);

// Rich edit box: whole content, line ends as written.
Text Content(Unit rich);
void SetContent(Unit rich, const Text& content);

// HTML browser box.
Text BrowserUrl(Unit browser);
void SetBrowserUrl(Unit browser, const Text& url);

}  // namespace lirvo::ui
