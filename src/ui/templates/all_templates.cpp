#include "ui/template.h"

namespace lirvo::ui {

WindowTemplate TemplateOf(Window window) {
  switch (window) {
    case Window::Main:
      return MainWindowTemplate();
    case Window::CollectPage:
      return CollectPageWindowTemplate();
    case Window::Progress:
      return ProgressWindowTemplate();
    case Window::Update:
      return UpdateWindowTemplate();
    case Window::Browse:
      return BrowseWindowTemplate();
  }
  return {};
}

}  // namespace lirvo::ui
