// The GUI thread waits for a request in an event loop of its own, which the
// request's end leaves through a posted event. Meanwhile windows repaint, the
// window manager's pings are answered and the stop-signal pipe is served; no
// handler runs (the engine keeps their events for later) but a window's close
// query, and user input is dropped (input_guard.cpp).
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>

#include <memory>
#include <utility>

#include "services/http_scheduler.h"
#include "ui/engine_qt.h"

namespace lirvo::ui {

namespace {

constexpr QEvent::Type kWaitOver = static_cast<QEvent::Type>(QEvent::User + 0x70);

// Touched on the GUI thread only: the other thread just posts the event.
struct WaitState {
  bool over = false;
  QEventLoop* loop = nullptr;
};

struct WaitOverEvent : QEvent {
  explicit WaitOverEvent(std::shared_ptr<WaitState> state)
      : QEvent(kWaitOver), state(std::move(state)) {}
  std::shared_ptr<WaitState> state;
};

// Lives as long as the process, so a late notice always has a receiver.
class WaitEnder : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kWaitOver) return QObject::event(e);
    WaitState& state = *static_cast<WaitOverEvent*>(e)->state;
    state.over = true;
    if (state.loop != nullptr) state.loop->quit();
    return true;
  }
};

bool OnGuiThread() {
  const QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

// Calls start with a notice that any thread may call once, when the awaited
// work is over; returns after the notice.
template <typename Start>
void WaitWithWindowsAlive(Start start) {
  static WaitEnder* const ender = new WaitEnder;
  auto state = std::make_shared<WaitState>();
  auto over = [state] { QCoreApplication::postEvent(ender, new WaitOverEvent(state)); };
  Engine::Get().BeginRequest();
  start(std::move(over));
  QEventLoop loop;
  state->loop = &loop;
  // A close query that asks its question inside the wait runs a loop of its
  // own; should the notice come meanwhile, this loop ends once it returns.
  while (!state->over) loop.exec();
  state->loop = nullptr;
  Engine::Get().EndRequest();
}

void WaitForTicket(const HttpTicket& ticket) {
  if (!OnGuiThread()) return;  // Wait blocks the thread
  WaitWithWindowsAlive([&](auto over) { ticket.OnDone(std::move(over)); });
}

}  // namespace

void InstallNetworkWait() {
  SetHttpWaitHook(&WaitForTicket);
}

}  // namespace lirvo::ui
