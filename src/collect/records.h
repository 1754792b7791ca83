#pragma once
// The record step (introduction file, record, index line, progress text) and
// the summary that ends a run.
#include "services/text.h"

namespace lirvo::collect {

// "已完结的" + completed category, or "连载中的" + ongoing category + "小说".
Text RunLabel(bool completed, const Text& category);

// The progress text after one record; archiveKilobytes is already rounded.
Text ProgressText(const Text& title, const Text& author, const Text& archiveKilobytes,
                  const Text& introduction, int newCount, int existingCount, const Text& label);
// The summary question.
Text SummaryText(int newCount, int existingCount);
// Bytes as text to rounded kilobytes of 1000 bytes, halves away from zero.
Text KilobytesText(const Text& sizeText);

// Writes the library's files for the current entry and shows the progress.
void RecordStep(bool existed);

// Asks the summary question. OK hands over to the browse window; any other
// answer deletes the cache folder and ends the program.
void Summary();

}  // namespace lirvo::collect
