#include "library/register.h"

#include "library/category_lists.h"
#include "library/details_view.h"
#include "library/library_matches.h"
#include "library/search.h"
#include "ui/handlers.h"

namespace lirvo::library {

void RegisterHandlers() {
  using ui::Handler;
  ui::RegisterHandler(Handler::BrowseCreated, &BrowseCreated);
  ui::RegisterHandler(Handler::BrowseDestroyed, &BrowseDestroyed);
  ui::RegisterHandler(Handler::BrowseCompletedChosen, &BrowseCompletedChosen);
  ui::RegisterHandler(Handler::BrowseOngoingChosen, &BrowseOngoingChosen);
  ui::RegisterHandler(Handler::BrowseCompletedSelected, &BrowseCompletedSelected);
  ui::RegisterHandler(Handler::BrowseOngoingSelected, &BrowseOngoingSelected);
  ui::RegisterHandler(Handler::BrowseFileSelected, &BrowseFileSelected);
  ui::RegisterHandler(Handler::BrowseFileDoubleClicked, &BrowseFileDoubleClicked);
  ui::RegisterHandler(Handler::BrowseFolderSet, &RebuildTitlePool);
  ui::RegisterHandler(Handler::BrowseTimerTick, &BrowseTimerTick);
  ui::RegisterHandler(Handler::BrowseSearchGotFocus, &BrowseSearchGotFocus);
  ui::RegisterHandler(Handler::BrowseSearchLostFocus, &BrowseSearchLostFocus);
  ui::RegisterHandler(Handler::BrowseSearchClicked, &BrowseSearchClicked);
  InstallLibraryMatches();
}

}  // namespace lirvo::library
