#include "app/register.h"

#include "app/shell_handlers.h"
#include "ui/handlers.h"

namespace lirvo::app {

void RegisterHandlers() {
  ui::RegisterHandler(ui::Handler::MainCreated, MainCreated);
  ui::RegisterHandler(ui::Handler::MainDestroyed, MainDestroyed);
  ui::RegisterHandler(ui::Handler::ProgressResized, ProgressResized);
  ui::RegisterHandler(ui::Handler::ProgressDestroyed, ProgressDestroyed);
}

}  // namespace lirvo::app
