#pragma once
// The user's close request on the progress window during a run.
namespace lirvo::collect {

// Asks whether to stop the run; OK stops it, and the run then ends its loops
// and shows the summary. The window stays either way.
void ProgressCloseQuery();

}  // namespace lirvo::collect
