#include "collect/register.h"

#include "collect/driver.h"
#include "collect/rules.h"
#include "ui/handlers.h"

namespace lirvo::collect {

void RegisterHandlers() {
  using ui::Handler;
  ui::RegisterHandler(Handler::MainCompletedSelected, &CompletedCategorySelected);
  ui::RegisterHandler(Handler::MainOngoingSelected, &OngoingCategorySelected);
  ui::RegisterHandler(Handler::MainCompletedUrlSelected, &CompletedUrlSelected);
  ui::RegisterHandler(Handler::MainCompletedChosen, &CompletedChosen);
  ui::RegisterHandler(Handler::MainOngoingChosen, &OngoingChosen);
  ui::RegisterHandler(Handler::MainCollectClicked, &Collect);
  ui::RegisterHandler(Handler::MainDelayClicked, &DelayClicked);
}

}  // namespace lirvo::collect
