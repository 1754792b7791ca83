#pragma once
// The main window's two contact buttons; each works once per run.

namespace lirvo::update {

void MainGroupLinkClicked();   // 超级按钮1
void MainAuthorLinkClicked();  // 超级按钮2

}  // namespace lirvo::update
