#pragma once
// The two failures a run tells the user about, each once per run: the site
// cannot be reached, and the library cannot be written. Everything else shows
// in the counts of the summary.
#include <cerrno>

#include "collect/state.h"
#include "services/http.h"
#include "services/text.h"

namespace lirvo::collect {

// The message for a first listing page that brought nothing: the host and why.
Text SiteProblemText(const Text& url, const HttpResult& result);
// The message for listing page `page` (2 or later) that failed for good: the
// fetch ends before it, and the user learns which page and why.
Text ListingPageProblemText(int page, const Text& url, const HttpResult& result);
// The message for a refused write into `folder` with errno `error`.
Text LibraryProblemText(const Text& folder, int error);
// The message for a file where a folder of the library must be, or the
// reverse (`error` ENOTDIR or EISDIR): names that place itself.
Text LibraryObstacleText(const Text& path, int error);
// The message of the browse window and the search when the novel index at
// `path` cannot be read.
Text LibraryUnreadableText(const Text& path, int error);
// The message for a library whose disk cannot give the run its lock.
Text LibraryLockText(const Text& root);
// The message for a second copy that wants to collect into the same library.
Text LibraryBusyText(const Text& root);

// errno values that mean nothing more can be stored in the library (read-only,
// no permission, no space, quota used up, something in the way).
bool IsLibraryWriteError(int error);

// Each shows its message unless the run was stopped, and names a host at
// most once per run.
void ReportSiteProblem(const Text& url, const HttpResult& result);
void ReportListingPageProblem(int page, const Text& url, const HttpResult& result);
// Shows the site message for each host the run's session has given up.
void ReportGivenUpHosts();
// After a refused write of `file` with errno `error`: stops the run's fetching
// and, the first time, names the file's folder to the user. False, doing
// nothing, when `error` is not a library write error (0 included).
bool ReportLibraryProblem(const Text& file, int error);

// Stops the run and names, once per run, the obstacle at `path`: something in
// the way (ENOTDIR, EISDIR), or a folder that cannot be made.
void ReportLibraryObstacle(const Text& path, int error);

// The folder part of a path built with backslashes.
Text FolderOf(const Text& path);

// Runs `write` (true when it succeeded) for `file` unless the library has
// already refused a write in this run; a refusal of this one that means the
// library cannot be written stops the run. True when the write succeeded.
template <typename Write>
bool WriteInLibrary(const Text& file, Write&& write) {
  if (collect::State().libraryUnwritable) return false;
  errno = 0;
  if (write()) return true;
  ReportLibraryProblem(file, errno);
  return false;
}

}  // namespace lirvo::collect
