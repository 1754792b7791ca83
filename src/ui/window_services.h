#pragma once
// Dialog, delay, window and shell services. Widget-free.
#include <functional>
#include <optional>

#include "services/text.h"
#include "ui/ids.h"

namespace lirvo::ui {

// Style flags: 0 OK, 1 OK and Cancel, 0x20 question icon, 0x40 information icon.
// Result: 0 OK, 1 Cancel, 2 Abort, 3 Retry, 4 Ignore, 5 Yes, 6 No. The default
// title is "信息：".
int MessageBox(const Text& message, int style = 0, std::optional<Text> title = std::nullopt);

// Lets pending events run (nested handlers included) until the time has passed.
void Delay(int milliseconds);

// Any thread: runs the task on the GUI thread, no sooner than the delay, at a
// moment when no handler runs and no request is waiting. Needs Initialize.
void PostWhenIdle(std::function<void()> task, int afterMilliseconds = 0);

// Hands a web address, file or folder to the desktop's default handler.
void OpenUrl(const Text& target);

// Loads a window from its template (created, moved, resized events, then shown
// by its visible flag). False when the owner is given but not loaded.
bool OpenWindow(Window window, std::optional<Window> owner = std::nullopt, bool modal = false);
// Posted close: code after the call still runs first.
void CloseWindow(Window window, bool atOnce = false);
bool IsLoaded(Window window);

// A status shown after a window's title while it is not empty (the title
// property keeps reading what was written). Asked for once a second while the
// window is loaded, also while a request waits, so it must only read.
using TitleStatus = Text (*)();
void SetTitleStatus(Window window, TitleStatus status);

void SetFocus(Unit control);

int ComboItemCount(Unit combo);
Text ComboItemText(Unit combo, int index);
int ListItemCount(Unit list);
Text ListItemText(Unit list, int index);
int ListAddItem(Unit list, const Text& text, int data = 0);
void ListClear(Unit list);

// Runs the exit routine once, then ends the process with the code.
[[noreturn]] void EndProgram(int code);
void ReleaseRuntimeObjects();
void SetExitRoutine(void (*routine)());

// The fatal runtime error report: "错误" box, then exit code -1 (the exit
// routine does not run).
[[noreturn]] void RuntimeError(const Text& information, int code = 0);

// Engine life cycle. Initialize creates the application object (once);
// RunMessageLoop runs until the last loaded window is destroyed and returns 0.
void Initialize();
int RunMessageLoop();

// Test seams. The answerer replaces the real message box; the recorder
// replaces the desktop handler of OpenUrl. Pass nullptr to restore.
using MessageBoxAnswerer = std::function<int(const Text& message, int style, const Text& title)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);
using OpenUrlRecorder = std::function<void(const Text& target)>;
void SetOpenUrlRecorder(OpenUrlRecorder recorder);
// Processes pending events (posted closes included) without waiting.
void ProcessPendingEvents();
// Tests: unloads every window without running its handlers, puts the template
// records back as the tables give them, forgets the title statuses and the
// exit routine.
void ResetWindowsForTest();

}  // namespace lirvo::ui
