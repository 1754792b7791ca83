#include "update/contact_links.h"

#include "ui/props.h"
#include "update/links.h"

namespace lirvo::update {

namespace mw = ui::main_win;

void MainGroupLinkClicked() {
  ui::SetBrowserUrl(mw::超文本浏览框1, kGroupLink);
  ui::SetVisible(mw::超级按钮1, false);
}

void MainAuthorLinkClicked() {
  ui::SetBrowserUrl(mw::超文本浏览框2, kAuthorLink);
  ui::SetVisible(mw::超级按钮2, false);
}

}  // namespace lirvo::update
