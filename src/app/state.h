#pragma once
// The collection state: program-wide variables that the collection engine
// carries from one step to the next. All zero or empty at start.
#include "services/text.h"

namespace lirvo::app {

struct CollectionState {
  int responseDelay = 0;  // milliseconds, passed to Delay
  int pageCount = 0;
  int currentPage = 0;
  int newCount = 0;
  int existingCount = 0;
  int failedCount = 0;             // new novels whose archive did not arrive whole
  bool libraryUnwritable = false;  // a write was refused: the run fetches no more
  Text categoryPath;               // "完本\" or "连载中\" + category name
  Text entrySerial;
  Text entryAuthor;
  Text entryIntroduction;
  Text coverUrl;
  Text downloadPageUrl;
  Text archiveSizeText;
};

CollectionState& State();

// The exit routine: releases the texts of the collection state.
void ExitRoutine();

}  // namespace lirvo::app
