#pragma once
// The browse window's match list over the whole library: every title of the
// novel index with its archive, and its author from the novel's record.
#include <vector>

#include "library/title_matcher.h"

namespace lirvo::library {

// The titles and archives of the novel index, without authors.
std::vector<NovelEntry> ReadIndexEntries();
// Fills in each novel's author from its record (one file per novel).
void ReadAuthors(std::vector<NovelEntry>& novels);

// The row text of a match: the title, its author, and a note when the
// archive is no longer where the index says.
Text MatchRowText(const NovelEntry& novel, bool archiveMissing);

// Gives the window engine its match source. Each time the browse window is
// loaded the matches are built on a thread of their own: first from the
// titles alone, then again with the authors.
void InstallLibraryMatches();

}  // namespace lirvo::library
