#pragma once
// The record step (introduction file, record, index line, progress text) and
// the summary that ends a run.
#include <cstddef>

#include "services/text.h"

namespace lirvo::collect {

// "已完结的" + completed category, or "连载中的" + ongoing category + "小说".
Text RunLabel(bool completed, const Text& category);

// The running counts of a run. The total is all three; failures are named only
// when there are some.
struct Counts {
  int fresh = 0;  // archives stored whole in this run
  int existing = 0;
  int failed = 0;
};

// The progress text after one record; archiveKilobytes is already rounded.
Text ProgressText(const Text& title, const Text& author, const Text& archiveKilobytes,
                  const Text& introduction, const Counts& counts, const Text& label);
// The summary question.
Text SummaryText(const Counts& counts);
// The start of an introduction that the progress window shows: at most
// kShownIntroductionBytes, never half a character.
inline constexpr std::size_t kShownIntroductionBytes = 64 * 1024;
Text ShownIntroduction(const Text& introduction);
// Bytes as text to rounded kilobytes of 1000 bytes, halves away from zero.
Text KilobytesText(const Text& sizeText);

enum class Outcome {
  kExisted,    // the archive was already present
  kNew,        // the archive arrived whole in this run
  kFailed,     // the download failed: the record is written, a later run fetches again
  kUnnamable,  // the title cannot be a file name: nothing is written
};

// Writes the library's files for the current entry, counts it and shows the
// progress.
void RecordStep(Outcome outcome);

// Tests: sees every progress text as the record step shows it (nullptr: none).
void WatchProgressForTest(void (*watcher)(const Text& progress));

// Asks the summary question. OK hands over to the browse window; any other
// answer deletes the cache folder and ends the program.
void Summary();

}  // namespace lirvo::collect
