#pragma once
// Titles the library cannot keep are failed novels: nothing is fetched,
// nothing is recorded, and the run counts them failed.
#include "services/text.h"

namespace lirvo::collect {

// True when the file system takes the names of the title's archive, cover,
// record and introduction (it is asked, see FileSystemAcceptsName), and the
// novel index can hold the title as a key that a search finds again: no "=",
// no "[" or ";" in front. (A "]" or a cut-off last character only keeps the
// record from being written, as before: the novel is stored and found.)
bool TitleFitsLibrary(const Text& title);

}  // namespace lirvo::collect
