#pragma once
// The first phase of a run: listing pages fetched into the cache.
#include "services/text.h"

namespace lirvo::collect {

// Sets the page count from 编辑框1, fetches pages 1.. into the cache until one
// comes back shorter than 3000 bytes, or one after the first fails for good
// (named to the user, not stored), then opens the collection page window.
// Fetches nothing once the library cannot be written or the run is stopped.
void FetchListingPages();

}  // namespace lirvo::collect
