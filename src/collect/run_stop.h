#pragma once
// A run the user stops: the run's requests belong to one session, which a
// stop cancels; the run then ends its loops and asks the summary question
// with the counts of what was done.
#include <memory>

#include "services/http_scheduler.h"

namespace lirvo::collect {

// The session of the run under way (a new one for each run; never null).
const std::shared_ptr<HttpSession>& RunSession();
// Starts a new session for a run that begins now.
void BeginRunSession();

// Any handler on the GUI thread: ends the run's transfers and lets the run
// go to its summary at its next step.
void RequestRunStop();
bool RunStopRequested();

}  // namespace lirvo::collect
