#pragma once
// Random title suggestions and the search of the novel index by title.
#include "services/text.h"

namespace lirvo::library {

// The search key of a box text: a trailing ".rar" is dropped, then a trailing
// "rar" (exact bytes, so upper-case endings stay).
Text SearchKey(const Text& boxText);
Text SearchFailureText();
// For a title in the index whose archive is missing or empty.
Text SearchEmptyArchiveText();
// Tells the user, and gives true, when the novel index cannot be read (a
// folder in its place, no permission ...).
bool ToldIndexUnreadable();

// Handlers.
void BrowseTimerTick();
void BrowseSearchGotFocus();
void BrowseSearchLostFocus();
void BrowseSearchClicked();

}  // namespace lirvo::library
