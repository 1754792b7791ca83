#include "update/register.h"

#include "ui/handlers.h"
#include "update/contact_links.h"
#include "update/self_update.h"
#include "update/version_check.h"

namespace lirvo::update {

void RegisterHandlers() {
  using ui::Handler;
  ui::RegisterHandler(Handler::UpdateCreated, &UpdateCreated);
  ui::RegisterHandler(Handler::UpdateQuitClicked, &UpdateQuitClicked);
  ui::RegisterHandler(Handler::UpdateStartClicked, &UpdateStartClicked);
  ui::RegisterHandler(Handler::MainGroupLinkClicked, &MainGroupLinkClicked);
  ui::RegisterHandler(Handler::MainAuthorLinkClicked, &MainAuthorLinkClicked);
}

}  // namespace lirvo::update
