#pragma once
// What happens before the first window: the two informational arguments and
// the question whether windows can be opened at all.
#include <string>

namespace lirvo::app {

enum class Request { Run, Version, Help, Unknown };

// "--version" (the version and the licence) and "--help" ask for text. The
// program takes no other argument, so the first argument decides, and
// anything else is Unknown.
Request RequestOf(int argc, const char* const* argv);

// The one line an unknown argument gets on stderr before the exit with 2.
std::string UnknownOptionLine(const char* argument);

// Why Qt's platform plugin would find no display, or the empty string. The
// arguments are the values of QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY
// (nullptr when not set). Platforms that need no display are not judged.
std::string MissingDisplay(const char* platform, const char* display, const char* waylandDisplay);

// Starts the window engine. A platform plugin that cannot start (a display
// that does not answer) ends the process with 1 and one line on stderr
// instead of Qt's abort.
void StartWindowEngine();

}  // namespace lirvo::app
