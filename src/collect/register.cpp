#include "collect/register.h"

#include "collect/driver.h"
#include "collect/rules.h"
#include "collect/shell_handlers.h"
#include "collect/site_wait_title.h"
#include "collect/stop_request.h"
#include "ui/handlers.h"
#include "ui/window_services.h"

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
  ui::RegisterHandler(Handler::MainCreated, &MainCreated);
  ui::RegisterHandler(Handler::MainDestroyed, &MainDestroyed);
  ui::RegisterHandler(Handler::ProgressResized, &ProgressResized);
  ui::RegisterHandler(Handler::ProgressDestroyed, &ProgressDestroyed);
  ui::RegisterHandler(Handler::ProgressCloseQuery, &ProgressCloseQuery);
  ui::SetTitleStatus(ui::Window::Progress, &SiteWaitTitle);
}

}  // namespace lirvo::collect
