#pragma once
// SIGTERM, SIGHUP and SIGINT (a desktop's logout, a closed terminal, Ctrl+C)
// end the program as closing it does: the running download's temporary file
// and the cache folder are removed and the exit routine runs.
//
// The handler only sets a flag, cancels the running request and writes a
// byte to a pipe. A running collection notices the flag at its next step
// (StopIfRequested); a program waiting for the user, in a message box or a
// Delay, is ended by the pipe's watcher on the GUI thread.
#include "services/text.h"

namespace lirvo::collect {

// Needs the window engine (ui::Initialize) first. Once per process.
void InstallStopSignals();

bool StopRequested();
// Ends the program now when a stop signal came.
void StopIfRequested();

// The temporary files of the run's downloads, from their request until they
// are moved over their targets or deleted; a stop removes them.
void AddPendingTemporary(const Text& path);
void ForgetPendingTemporary(const Text& path);

}  // namespace lirvo::collect
