#pragma once
// The details of the novel selected in the browse window: introduction and cover.
#include "services/text.h"

namespace lirvo::library {

// The first line of the details text: title + " 简介：\r\n  ".
Text DetailsHead(const Text& title);
// Shown after the head when a novel has no introduction.
Text NoIntroductionNotice();

// Handlers.
void BrowseFileSelected();
void BrowseFileDoubleClicked();

}  // namespace lirvo::library
