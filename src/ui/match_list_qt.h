#pragma once
// The match list's widget side. Internal to the window engine.
#include "ui/widgets_qt.h"

namespace lirvo::ui {

// Gives the edit box a list of matching novels under it (see match_list.h);
// asks the match source to prepare.
void AttachMatchList(EditWidget* edit);

}  // namespace lirvo::ui
