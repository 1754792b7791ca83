#pragma once
// The collection run started by 采集 (按钮2 of the main window).

namespace lirvo::collect {

// Folder tree, guard, window switch, listing fetch, page loop and summary.
void Collect();

}  // namespace lirvo::collect
