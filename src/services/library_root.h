#pragma once
// Where the library root lies for this copy of Lirvo. A portable copy keeps
// its library in its own folder and is marked by the file kPortableMarker
// beside the program (the build tree makes one; an installation has none).
// Every other copy is installed: its library goes to the user's data folder,
// $XDG_DATA_HOME/lirvo, or ~/.local/share/lirvo when that is not set.
#include <string>

#include "services/text.h"

namespace lirvo::layout {

inline constexpr char kPortableMarker[] = "lirvo.portable";

enum class Copy { Portable, Installed };

// Portable when `programFolder` (a POSIX path) holds the marker file.
Copy CopyOf(const std::string& programFolder);

// The root as a POSIX path, from the environment's values (nullptr when not
// set). XDG_DATA_HOME counts only when it is absolute, as the XDG base
// directory rules say. Empty for an installed copy when no home is known.
std::string LibraryRootFor(Copy copy, const std::string& programFolder, const char* xdgDataHome,
                           const char* home);

// Chooses the root for this process from ProgramFolder() and the
// environment, creates it with its parents (new levels only for this user)
// and makes it the library root. The empty text when the library can be
// written there; otherwise the reason, for the user (GBK).
Text ChooseLibraryRoot();

// Whether this process runs as an installed copy. False until chosen.
bool RunsInstalled();
void SetRunsInstalledForTest(bool installed);

}  // namespace lirvo::layout
