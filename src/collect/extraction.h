#pragma once
// The second phase of a run: a cached listing page cut into entries, and each
// entry cut into the fields the download and record steps work with.
#include "collect/cuts.h"
#include "services/text.h"

namespace lirvo::collect {

// The marker texts as the collection page window holds them now.
Markers ReadMarkers();

// Runs the entries of cached listing page n (at most 20, in the order of the
// run's walk, see lookahead.h) through the download and record steps; an
// empty title ends the page.
void ParseListingPage(int page);

// The title of the entry being processed (also shown as the collection page
// window's title).
const Text& CurrentTitle();

// Cuts the fields of one entry into the collection state and the current
// title, then runs the download step.
void ProcessEntry(const Text& entry, const Markers& markers);

}  // namespace lirvo::collect
