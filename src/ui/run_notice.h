#pragma once
// What the desktop hears of a collection run: progress on the program's
// launcher entry (docks and task managers read it) and, after a long run that
// ended out of sight, a notification. Widget-free; silent without a session
// bus or a listener.
#include <cstdint>
#include <functional>
#include <string>

namespace lirvo::ui {

// A run that lasted at least this long ends with a notification.
inline constexpr std::int64_t kNoticeAfterMilliseconds = 5000;

// Share of the run done, 0 to 1, shown on the launcher. The first report of a
// run starts its clock.
void ReportRunProgress(double fraction);

// The run is over (just before its summary): clears the launcher's progress;
// after a run of kNoticeAfterMilliseconds or more, while the progress window
// is not the active window, sends "采集完成" with how many novels were
// collected in this run and how many failed.
void NotifyRunEnded(int collected, int failed);

// The notification's body for these counts (UTF-8).
const char* RunEndedSummary();
std::string RunEndedBody(int collected, int failed);

// Tests: the millisecond clock the run is timed with; nullptr restores the
// steady clock.
void SetRunClock(std::function<std::int64_t()> milliseconds);

}  // namespace lirvo::ui
