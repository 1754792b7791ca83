#pragma once

namespace lirvo::update {

// Binds this module's event handlers to their ids in the window templates.
void RegisterHandlers();

}  // namespace lirvo::update
