#pragma once
// The download step: the existence check, then download page, cover and
// archive of a new novel, ending in the record step.
#include "collect/cuts.h"
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

// Fetches url into target through a temporary file of this process in the
// target's folder (hidden, never ending in ".rar" or ".jpg"), moved over the target only when the
// whole body arrived with a 2xx status. Otherwise an existing target stays as it was and a missing
// one is created empty. True when the target was replaced.
bool DownloadOver(const Text& url, const Text& target);

}  // namespace lirvo::collect
