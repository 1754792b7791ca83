#pragma once
// The version check that runs when the update window is created at start.
#include "services/text.h"

namespace lirvo::update {

// "http://" + update host + path.
Text UpdateServerUrl(const char* path);

// True when the remote version exceeds the local one by more than 1e-7. Both
// texts are read as numbers by their leading part; a text without a number is 0.
bool IsNewerVersion(const Text& local, const Text& remote);

// Handler: starts fetching the newest version in the background and returns.
// When the answer comes (within 10 s, while the main window is shown) the
// update is offered or the window closes unseen; otherwise the check gives up
// and closes it unseen.
void UpdateCreated();

}  // namespace lirvo::update
