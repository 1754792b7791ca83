#pragma once
// Titles the library cannot keep are failed novels: nothing is fetched,
// nothing is recorded, and the run counts them failed.
#include "services/text.h"

namespace lirvo::collect {

// True when the file system takes the names of the title's archive, cover,
// record and introduction (it is asked, see FileSystemAcceptsName), and the
// record (section T) and the novel index (key T) can hold the title so that a
// search finds it: no "=", no "]", no "[" or ";" in front.
bool TitleFitsLibrary(const Text& categoryPath, const Text& title);

}  // namespace lirvo::collect
