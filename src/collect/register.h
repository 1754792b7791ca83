#pragma once

namespace lirvo::collect {

// Binds this module's event handlers to their ids in the window templates.
void RegisterHandlers();

}  // namespace lirvo::collect
