#pragma once
// Downloads fetched ahead of the record step. The run walks its cached listing
// pages once, in order, and keeps the entries still to come in a queue. When
// an entry joins the first few places of the queue, it is decided, in order,
// whether it will need downloads: then its download page (in memory), cover
// and archive (into temporary files beside their targets) are asked for at
// once. The download step takes what was fetched instead of asking again, so
// everything it stores and shows comes out as in a run that fetches one thing
// at a time.
#include <optional>

#include "collect/cuts.h"
#include "services/http.h"
#include "services/http_scheduler.h"
#include "services/text.h"

namespace lirvo::collect {

// Entries after the one being processed whose downloads may run meanwhile.
// Each holds at most three requests and one download page in memory.
inline constexpr int kLookaheadEntries = 8;

// One request of the run's session.
struct Download {
  HttpTicket ticket;
  Text temporary;  // the file the body goes into; "" for a body held in memory
};

// Asks for `url`: into a new temporary file in the folder of `target`, or
// into memory when `target` is "". The file is pending until the caller
// forgets it (ForgetPendingTemporary).
Download SubmitDownload(const Text& url, const Text& target, HttpKind kind);
// The download made ahead for the entry being processed, or a new one.
Download TakeOrSubmitDownload(const Text& url, const Text& target, HttpKind kind);

// Starts the walk over listing pages 1 .. pageCount of the selected category.
void BeginLookahead(int pageCount, const Markers& markers);
// The next entry the walk of `page` hands over; false once that walk has ended.
bool NextEntryOfPage(int page, Text& entry);
// Cancels every download made ahead and not taken, waits for each to end and
// deletes its file.
void EndLookahead();

// Tests: how many entries are fetched ahead (0: each request waits for the
// one before it, as a run without overlap).
void SetLookaheadForTest(int entries);

}  // namespace lirvo::collect
