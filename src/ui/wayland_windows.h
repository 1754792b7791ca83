#pragma once
// What a window needs under a Wayland compositor, where a client can neither
// place its windows nor keep one on top of all others.
class QWidget;

namespace lirvo::ui {

bool OnWayland();

// Makes `window`, about to be shown, a transient child of another shown
// window of the program, so that the compositor keeps it above that window:
// the nearest thing to "stays on top" Wayland offers.
void KeepAboveProgramWindow(QWidget* window);

}  // namespace lirvo::ui
