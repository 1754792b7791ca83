#pragma once
// The version check that runs when the update window is created at start.
#include "services/text.h"

namespace lirvo::update {

// "http://" + update host + path.
Text UpdateServerUrl(const char* path);

// True when the remote version exceeds the local one by more than 1e-7. Both
// texts are read as numbers by their leading part; a text without a number is 0.
bool IsNewerVersion(const Text& local, const Text& remote);

// Handler: fetch the newest version, then offer the update or close unseen.
void UpdateCreated();

}  // namespace lirvo::update
