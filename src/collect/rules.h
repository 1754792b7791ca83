#pragma once
// Collection rules on the main window: the twin lists, the type radio buttons,
// the response delay, and the questions the other steps ask of these controls.
#include "services/text.h"

namespace lirvo::collect {

// Handlers of the main window.
void CompletedCategorySelected();  // 完本类 item selected
void OngoingCategorySelected();    // 连载类 item selected
void CompletedUrlSelected();       // 完本网页 item selected
void CompletedChosen();            // 单选框1 clicked
void OngoingChosen();              // 单选框2 clicked
void DelayClicked();               // 按钮3 clicked

// The response delay typed into 编辑框2: an optional "默认为：" prefix, then a
// number truncated toward zero (0 when the text holds none).
int ParseResponseDelay(const Text& text);
// A number truncated toward zero; one beyond the 32-bit range (or NaN) gives
// -2147483648, which makes no pages and no pause.
int TruncateToInt(double value);

// The collection type: completed when 单选框1 is selected.
bool CompletedType();
// The selected category name of the current type (完本类 or 连载类).
Text SelectedCategory();
// "完本\" or "连载中\" + the selected category name.
Text CategoryPath();

}  // namespace lirvo::collect
