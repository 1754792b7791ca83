#pragma once
// The browse window's match list over the whole library: every title of the
// novel index with its archive, and its author from the novel's record.
#include <vector>

#include "library/title_matcher.h"

namespace lirvo::library {

// Reads the novel index and the records. Runs off the GUI thread.
std::vector<NovelEntry> ReadNovelEntries();

// The row text of a match: the title, its author, and a note when the
// archive is no longer where the index says.
Text MatchRowText(const NovelEntry& novel, bool archiveMissing);

// Gives the window engine its match source; the matches are built on a
// thread of their own each time the browse window is loaded.
void InstallLibraryMatches();

}  // namespace lirvo::library
