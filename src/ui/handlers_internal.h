#pragma once
// The engine's view of the handler registry.
#include "ui/handlers.h"

namespace lirvo::ui {

HandlerRoutine BoundRoutine(Handler id);

}  // namespace lirvo::ui
