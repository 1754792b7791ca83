#pragma once
// The window engine: loaded windows, their live units, event dispatch and the
// persistent template records. Internal; the program logic reaches it through
// props.h and window_services.h.
#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "ui/template.h"
#include "ui/widgets_qt.h"

class QEventLoop;

namespace lirvo::ui {

struct LiveWindow {
  Window id = Window::Main;
  std::uint64_t serial = 0;
  std::optional<Window> owner;
  WindowWidget* widget = nullptr;
  std::vector<QObject*> units;  // units[0] is the widget; a timer is a QTimer
  Text title;                   // stored as written, so it reads back byte for byte
  bool taskbarButton = true;
  bool loading = true;
  bool closing = false;           // a close request is on its way
  bool closeQueryPosted = false;  // the user's close request waits for its handler
  Text titleStatus;               // shown after the title, not stored in it
  bool destroying = false;
  QPoint lastMoved{-100000, -100000};
  QSize lastResized{-1, -1};
};

class Engine {
 public:
  static Engine& Get();

  // The template record of a window: made from its table on first use, kept
  // for the whole process; common properties written by the program land here.
  WindowTemplate& Record(Window window);
  LiveWindow* Find(Window window);
  LiveWindow* Find(const UnitRef& ref);
  bool Open(Window window, std::optional<Window> owner, bool modal);
  void Show(LiveWindow& live);       // shows it and gives the first focus
  void RequestClose(Window window);  // posted
  void Destroy(Window window);
  void Raise(const UnitRef& ref, int event);
  void OnMoved(const UnitRef& ref);
  void OnResized(const UnitRef& ref);
  bool AnyLoaded() const { return !m_windows.empty(); }
  int HandlerDepth() const { return m_depth; }

  // While the GUI thread waits for a request no handler runs: the events that
  // would run one (timer ticks, focus, moves, posted closes and choices) are
  // kept, and replayed in order from the event loop once the request is over.
  // User input meanwhile is dropped (InstallInputGuard); the one handler that
  // runs inside a wait is a window's close query.
  void BeginRequest() { ++m_requests; }
  void EndRequest();
  bool InRequest() const { return m_requests > 0; }
  // The user asks to close a window (its close box, the window manager's
  // close, Esc where the template allows it). A window that binds a close
  // query runs that handler and stays; others close as CloseWindow does when
  // `closable` (a close box without system menu is refused).
  void OnUserClose(const UnitRef& ref, bool closable);
  // The status shown after a window's title, asked for once a second while
  // the window is loaded.
  void SetTitleStatus(Window window, Text (*status)());
  void ShowTitle(LiveWindow& live);
  // Runs a task from the event loop once no handler is on the stack and no
  // request is waiting; the task counts as a handler while it runs.
  void QueueIdleTask(std::function<void()> task);
  // Any thread: queues the task after the delay (milliseconds).
  static void PostIdleTask(std::function<void()> task, int afterMilliseconds);
  // The engine's receiver of posted events; made on first use.
  QObject* Relay();
  // Called by the relay.
  void OnPosted(int type, const UnitRef& ref);
  void Replay();
  void RunIdleTasks();

  int RunLoop();
  // Deletes the widgets of destroyed windows once no handler is on the stack.
  void Reap();
  // Tests: closes every window without running handlers, forgets the records
  // and the title statuses.
  void Reset();

 private:
  Engine() = default;
  void Build(LiveWindow& live, const WindowTemplate& record, QWidget* ownerWidget);
  void Release(LiveWindow* live);
  void ScheduleReap();
  void Defer(int type, const UnitRef& ref, int number);
  void Run(HandlerRoutine routine);
  HandlerRoutine BoundTo(const UnitRef& ref, int number);
  void RefreshTitleStatus(const UnitRef& ref);
  void PostOnce(int type, bool& posted);

  // A deferred event: a handler's event (type 0) or a posted engine event.
  struct Deferred {
    int type;
    UnitRef ref;
    int number;
  };

  std::array<std::unique_ptr<WindowTemplate>, 6> m_records;
  std::vector<std::unique_ptr<LiveWindow>> m_windows;
  std::vector<QPointer<QWidget>> m_graveyard;
  std::uint64_t m_serial = 0;
  int m_depth = 0;
  bool m_reapPosted = false;
  int m_requests = 0;
  std::array<Text (*)(), 6> m_titleStatus{};
  std::vector<Deferred> m_deferred;
  bool m_replayPosted = false;
  std::vector<std::function<void()>> m_idle;
  bool m_idlePosted = false;
  QEventLoop* m_mainLoop = nullptr;
  QObject* m_relay = nullptr;
};

// Makes sure the application object exists.
void EnsureApplication();
// The GUI thread waits for requests in an event loop of its own, so windows
// keep painting (network_wait.cpp).
void InstallNetworkWait();
// Drops user input to hidden or disabled windows, and to every window of the
// engine while a request waits.
void InstallInputGuard();
// Keeps hidden controls out of the accessibility tree.
void InstallAccessibility();
// An allocation nobody can serve ends the program with the runtime error
// report instead of an abort.
void InstallOutOfMemoryReport();
void RememberFailedAllocation(std::size_t bytes);
[[noreturn]] void ReportOutOfMemory(std::size_t bytes);

}  // namespace lirvo::ui
