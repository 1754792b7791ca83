#pragma once
// Random title suggestions and the search of the novel index by title.
#include "services/text.h"

namespace lirvo::library {

// The search key of a box text: a trailing ".rar" is dropped, then a trailing
// "rar" (exact bytes, so upper-case endings stay).
Text SearchKey(const Text& boxText);
// ProgramFolder + "\小说\ini\小说.ini".
Text NovelIndexPath();
Text SearchFailureText();

// Handlers.
void BrowseTimerTick();
void BrowseSearchGotFocus();
void BrowseSearchLostFocus();
void BrowseSearchClicked();

}  // namespace lirvo::library
