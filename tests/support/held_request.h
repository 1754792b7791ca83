#pragma once
// A request the test ends, and a wait for it on the GUI thread with work done
// from inside the wait. Header-only; for test targets that link Qt.
//
//   WhileWaiting([] { /* runs inside the wait */ }, [] { return seen; });
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "services/http_scheduler.h"
#include "support/raw_server.h"

namespace lirvo::test {

// The server holds its answer until released, at most ten seconds, so a
// failing test still ends.
class HeldRequest {
 public:
  HeldRequest()
      : m_server([this](const RawRequest&) {
          for (int i = 0; i < 1000 && !m_release; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          }
          return RawScript().Send(HttpResponse(200, "ok"));
        }) {}
  HttpTicket Submit() {
    HttpRequest request;
    request.url = m_server.Url("/held");
    return HttpSubmit(request);
  }
  void Release() { m_release = true; }

 private:
  std::atomic<bool> m_release{false};
  RawServer m_server;
};

// Waits on the GUI thread for a held request. From inside the wait it runs
// `start` once, then lets the request end as soon as `until` holds (or after
// five seconds). True when `until` held.
inline bool WhileWaiting(const std::function<void()>& start, const std::function<bool()>& until) {
  HeldRequest held;
  HttpTicket ticket = held.Submit();
  bool started = false;
  bool held_until = false;
  QElapsedTimer clock;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!started) {
      started = true;
      clock.start();
      start();
      return;
    }
    held_until = until();
    if (held_until || clock.elapsed() > 5000) {
      poll.stop();
      held.Release();
    }
  });
  poll.start(10);
  EXPECT_TRUE(ticket.Wait().complete);
  return held_until;
}

}  // namespace lirvo::test
