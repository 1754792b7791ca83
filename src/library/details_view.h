#pragma once
// The details of the novel selected in the browse window: introduction and cover.
#include "services/text.h"

namespace lirvo::library {

// ProgramFolder + "\小说\ini\完本\" (or "连载中\") + category + "\" + title + "简介.ini".
Text IntroductionPath(bool completed, const Text& category, const Text& title);
// ProgramFolder + "\小说\jpg\" + title + ".jpg"; covers have no category level.
Text CoverPath(const Text& title);
// The first line of the details text: title + " 简介：\r\n  ".
Text DetailsHead(const Text& title);
// Shown after the head when a novel has no introduction.
Text NoIntroductionNotice();

// Handlers.
void BrowseFileSelected();
void BrowseFileDoubleClicked();

}  // namespace lirvo::library
