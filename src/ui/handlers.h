#pragma once
// Event handlers are bound in the window templates by these ids; the program
// registers the routine behind each id at start (tests register their own).
namespace lirvo::ui {

enum class Handler {
  // main window
  MainCreated,
  MainDestroyed,
  MainGroupLinkClicked,      // 超级按钮1
  MainAuthorLinkClicked,     // 超级按钮2
  MainCompletedSelected,     // 完本类 item selected
  MainOngoingSelected,       // 连载类 item selected
  MainCompletedUrlSelected,  // 完本网页 item selected
  MainCompletedChosen,       // 单选框1 clicked
  MainOngoingChosen,         // 单选框2 clicked
  MainCollectClicked,        // 按钮2
  MainDelayClicked,          // 按钮3
  // progress window
  ProgressResized,
  ProgressDestroyed,
  ProgressCloseQuery,  // the user asked to close the window during a run
  // update window
  UpdateCreated,
  UpdateQuitClicked,   // 按钮2
  UpdateStartClicked,  // 按钮1
  // browse window
  BrowseCreated,
  BrowseDestroyed,
  BrowseCompletedChosen,    // 单选框1 clicked
  BrowseOngoingChosen,      // 单选框2 clicked
  BrowseCompletedSelected,  // 完本类 item selected
  BrowseOngoingSelected,    // 连载类 item selected
  BrowseFileSelected,       // 文件框1 selection changed
  BrowseFileDoubleClicked,  // 文件框1 double-clicked
  BrowseFolderSet,          // 文件框1 folder set by the program
  BrowseTimerTick,          // 时钟1
  BrowseSearchGotFocus,     // 编辑框1 got focus
  BrowseSearchLostFocus,    // 编辑框1 lost focus
  BrowseSearchClicked,      // 按钮1
  Count
};

using HandlerRoutine = void (*)();

// Binds a routine to a handler id; nullptr unbinds it. An unbound handler does nothing.
void RegisterHandler(Handler id, HandlerRoutine routine);
void ClearHandlers();

}  // namespace lirvo::ui
