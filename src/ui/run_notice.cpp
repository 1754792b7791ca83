#include "ui/run_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "ui/engine_qt.h"

namespace lirvo::ui {
namespace {

// The desktop file the package installs; docks match the launcher entry and
// the notification to it by this name.
constexpr char kDesktopEntry[] = "lirvo";
constexpr char kLauncherPath[] = "/io/github/lirvo/Lirvo/launcher";

std::function<std::int64_t()> g_clock;
std::optional<std::int64_t> g_runStart;
int g_shownPercent = -1;

std::int64_t Now() {
  if (g_clock) return g_clock();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The session bus, but only one that is there already: without an address
// libdbus would try to start a bus of its own ("autolaunch").
std::optional<QDBusConnection> SessionBus() {
  const bool named = !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const bool userBus = !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(u"bus"_qs));
  if (!named && !userBus) return std::nullopt;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return std::nullopt;
  return bus;
}

void SendLauncherUpdate(QDBusConnection& bus, double fraction, bool visible) {
  QDBusMessage update = QDBusMessage::createSignal(
      QString::fromLatin1(kLauncherPath), u"com.canonical.Unity.LauncherEntry"_qs, u"Update"_qs);
  QVariantMap properties;
  properties.insert(u"progress"_qs, fraction);
  properties.insert(u"progress-visible"_qs, visible);
  update << QStringLiteral("application://%1.desktop").arg(QLatin1String(kDesktopEntry))
         << properties;
  bus.send(update);
}

bool ProgressWindowActive() {
  const LiveWindow* live = Engine::Get().Find(Window::Progress);
  return live != nullptr && live->widget != nullptr && live->widget->isActiveWindow();
}

}  // namespace

const char* RunEndedSummary() {
  return "采集完成";
}

std::string RunEndedBody(int collected, int failed) {
  return "本次成功采集" + std::to_string(collected) + "篇小说，下载失败" + std::to_string(failed) +
         "篇";
}

void ReportRunProgress(double fraction) {
  if (!g_runStart) g_runStart = Now();
  // Docks redraw on every update: whole percents are enough.
  const int percent = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 100));
  if (percent == g_shownPercent) return;
  g_shownPercent = percent;
  if (auto bus = SessionBus()) SendLauncherUpdate(*bus, percent / 100.0, true);
}

void NotifyRunEnded(int collected, int failed) {
  const bool longRun = g_runStart && Now() - *g_runStart >= kNoticeAfterMilliseconds;
  g_runStart.reset();
  g_shownPercent = -1;
  auto bus = SessionBus();
  if (!bus) return;
  SendLauncherUpdate(*bus, 0.0, false);
  if (!longRun || ProgressWindowActive()) return;

  QDBusMessage notify = QDBusMessage::createMethodCall(
      u"org.freedesktop.Notifications"_qs, u"/org/freedesktop/Notifications"_qs,
      u"org.freedesktop.Notifications"_qs, u"Notify"_qs);
  QVariantMap hints;
  hints.insert(u"desktop-entry"_qs, QString::fromLatin1(kDesktopEntry));
  notify << u"Lirvo"_qs << 0u << QString::fromLatin1(kDesktopEntry)
         << QString::fromUtf8(RunEndedSummary())
         << QString::fromStdString(RunEndedBody(collected, failed)) << QStringList() << hints << -1;
  // Not waited for: no notification service means no notification, and the
  // bus's error answer is dropped.
  bus->send(notify);
}

void SetRunClock(std::function<std::int64_t()> milliseconds) {
  g_clock = std::move(milliseconds);
}

}  // namespace lirvo::ui
