#pragma once
// The download step: the existence check, then download page, cover and
// archive of a new novel, ending in the record step.
#include <string_view>

#include "collect/cuts.h"
#include "services/http.h"
#include "services/text.h"

namespace lirvo::collect {

// Sizes above which a file on disk counts as present.
inline constexpr int kCompletedArchiveBytes = 30000;
inline constexpr int kOngoingArchiveBytes = 300000;
inline constexpr int kCoverBytes = 2000;
// Cover requests per entry before the step goes on with the archive.
inline constexpr int kCoverAttempts = 3;

// Runs for every entry the page loop reaches, the empty ones included.
void DownloadStep(const Text& entry, const Markers& markers);

enum class Stored {
  kReplaced,           // the target now holds the new body
  kKept,               // the answer was not a whole file: the target is as it was
  kLibraryUnwritable,  // the folder refused the write (the run has been told to stop)
};

// Fetches url (or takes what was fetched ahead for the entry) into a
// temporary file of this process in the target's folder and moves it over the
// target only when a complete 200 answer brought a
// non-empty body that is not a web page. Otherwise the target stays byte for
// byte, and a missing one stays missing: the library holds only whole files,
// and the next run fetches it again.
Stored DownloadOver(const Text& url, const Text& target, HttpKind kind);

// True when the first bytes of a body are those of an HTML page: "<!DOCTYPE",
// "<html", "<head" or "<body" in any case, after an optional UTF-8 byte order
// mark and white space. A site sends such a page with status 200 for an error.
bool LooksLikeWebPage(std::string_view head);

// The archive on disk counts as present by the thresholds of the collection
// type and the overwrite option 选择框1.
bool ArchiveCountsAsPresent(const Text& archive);

// The site's addresses of one novel.
Text DownloadPageUrl(const Text& finalSerial);
Text CoverUrl(const Text& coverPath);
Text ArchiveUrl(const Text& finalSerial);

// True when every file the library keeps for the title (archive, cover,
// record, introduction) can be named in its folder, and the novel index can
// hold the title (see TitleFitsLibrary).
bool FitsAsFileNames(const Text& categoryPath, const Text& title);

}  // namespace lirvo::collect
