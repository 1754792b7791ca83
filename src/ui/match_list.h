#pragma once
// The list of matching novels under an edit box (the browse window's search
// box): the program logic supplies the matches, the window engine shows them
// as the user types and puts the chosen title into the box. Widget-free.
#include <functional>
#include <vector>

#include "services/text.h"

namespace lirvo::ui {

struct MatchRow {
  Text title;  // what choosing the row puts into the box
  Text shown;  // the row's text
};

struct MatchSource {
  // A window with a match list was loaded: the matches may be made ready.
  std::function<void()> prepare;
  // The rows for what the box holds, best first; empty hides the list.
  std::function<std::vector<MatchRow>(const Text& typed)> find;
};

void SetMatchSource(MatchSource source);

// Any thread: each list asks again for what its box holds (the matches got
// ready while the user was typing).
void RefreshMatchLists();

}  // namespace lirvo::ui
