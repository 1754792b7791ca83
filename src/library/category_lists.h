#pragma once
// The browse window's category folders and its hidden title pool.
#include "services/text.h"

namespace lirvo::library {

// The pattern that finds the archives of a folder: folder + "*.rar" when the
// folder already ends in "\", else folder + "\*.rar".
Text ArchivePattern(const Text& folder);

// Title of an archive name: the name without its last 4 bytes, whatever they are.
Text TitleOfName(const Text& name);

// Refills the title pool from the archives of the folder the file box lists.
// Bound to the file box's folder-set event, so every folder change, the
// collection summary's hand-off among them, brings the pool along.
void RebuildTitlePool();

// Handlers.
void BrowseCreated();
void BrowseDestroyed();
void BrowseCompletedChosen();
void BrowseOngoingChosen();
void BrowseCompletedSelected();
void BrowseOngoingSelected();

}  // namespace lirvo::library
