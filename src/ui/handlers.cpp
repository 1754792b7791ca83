#include <array>

#include "ui/handlers_internal.h"

namespace lirvo::ui {

namespace {

std::array<HandlerRoutine, static_cast<std::size_t>(Handler::Count)>& Routines() {
  static std::array<HandlerRoutine, static_cast<std::size_t>(Handler::Count)> routines{};
  return routines;
}

}  // namespace

void RegisterHandler(Handler id, HandlerRoutine routine) {
  const auto index = static_cast<std::size_t>(id);
  if (index < Routines().size()) Routines()[index] = routine;
}

void ClearHandlers() {
  Routines().fill(nullptr);
}

HandlerRoutine BoundRoutine(Handler id) {
  const auto index = static_cast<std::size_t>(id);
  return index < Routines().size() ? Routines()[index] : nullptr;
}

}  // namespace lirvo::ui
