#pragma once
// Handlers of the program shell: the main window's life and the progress
// window's size.
namespace lirvo::collect {

void MainCreated();
void MainDestroyed();
void ProgressResized();
void ProgressDestroyed();

}  // namespace lirvo::collect
