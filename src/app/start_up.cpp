#include "app/start_up.h"

#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/window_services.h"

namespace lirvo::app {

namespace {

bool Set(const char* value) {
  return value != nullptr && value[0] != '\0';
}

// Messages Qt gives while the engine starts: held back, so that a failed
// start prints one line, and passed on once it has started.
std::vector<std::pair<QtMsgType, QString>> g_held;
QtMessageHandler g_previous = nullptr;

void HoldOrFail(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtFatalMsg) {
    g_held.emplace_back(type, message);
    return;
  }
  // The first word Qt gave says why ("could not connect to display :9");
  // its final message only lists the plugins.
  const QString reason = g_held.empty() ? message : g_held.front().second;
  std::fprintf(stderr, "lirvo: cannot open windows: %s\n",
               reason.section(QLatin1Char('\n'), 0, 0).toUtf8().constData());
  std::fflush(stderr);
  ::_exit(1);
}

}  // namespace

Request RequestOf(int argc, const char* const* argv) {
  if (argc < 2) return Request::Run;
  const std::string_view argument = argv[1];
  if (argument == "--version") return Request::Version;
  if (argument == "--help") return Request::Help;
  return Request::Unknown;
}

std::string UnknownOptionLine(const char* argument) {
  return "lirvo: unknown argument \"" + std::string(argument) +
         "\"; usage: lirvo [--help | --version]";
}

std::string MissingDisplay(const char* platform, const char* display, const char* waylandDisplay) {
  // QT_QPA_PLATFORM may list fall-backs ("wayland;xcb"); without it Qt picks
  // xcb, or wayland in a Wayland session.
  const std::string_view names = Set(platform) ? platform : "xcb;wayland";
  std::size_t start = 0;
  while (start <= names.size()) {
    std::size_t end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    const std::string_view name = names.substr(start, end - start);
    const bool x11 = name == "xcb" || name.starts_with("xcb:");
    const bool wayland = name.starts_with("wayland");
    if (!x11 && !wayland) return {};
    if ((x11 && Set(display)) || (wayland && Set(waylandDisplay))) return {};
    start = end + 1;
  }
  return Set(platform) ? "no display for the platform \"" + std::string(platform) + "\""
                       : "no display to open windows on ($DISPLAY and $WAYLAND_DISPLAY are empty)";
}

void StartWindowEngine() {
  g_previous = qInstallMessageHandler(HoldOrFail);
  ui::Initialize();
  qInstallMessageHandler(g_previous);
  for (const auto& [type, message] : std::exchange(g_held, {})) {
    if (g_previous != nullptr) g_previous(type, QMessageLogContext(), message);
  }
}

}  // namespace lirvo::app
