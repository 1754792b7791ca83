#pragma once
// The network scheduler: every request of the program is handed to it and
// comes back as a ticket. Transfers run side by side on the scheduler's own
// thread, a bounded number per host; each host is paced by its answers
// (Retry-After, fewer transfers and a lower rate after a refusal); what may
// pass is tried again with backoff; a cut archive resumes with a Range
// request; a session (one run, one update download) ends all of its requests
// at once when it is cancelled.
//
//   auto run = std::make_shared<HttpSession>();
//   HttpTicket page = HttpSubmit({url, HttpKind::kPage}, run);
//   ... more submits ...
//   const HttpResult& answer = page.Wait();  // windows stay alive meanwhile
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "services/http.h"
#include "services/text.h"

namespace lirvo {

enum class HttpRetry {
  kNone,       // one try: the answer as it comes
  kTransient,  // refused or reset connections, time-outs, cut bodies, 5xx,
               // 408 and 429 are tried again within the bounds of HttpLimits
};

struct HttpRequest {
  Text url;
  HttpKind kind = HttpKind::kPage;
  // When not empty, the body goes into this file as it arrives (created or
  // truncated on the first try). A retry of a cut body resumes the file with a
  // Range request where the server allows it. The caller deletes what it does
  // not keep.
  Text file;
  HttpRetry retry = HttpRetry::kTransient;
};

// A site wait that the user may be shown: the scheduler holds requests for
// this host until `until` because the host asked for it or refused requests.
struct HttpSiteWait {
  std::string hostPort;
  std::chrono::steady_clock::time_point until;
};

// A host given up in a session: it failed to connect several times in a row,
// and the session's later requests for it fail at once.
struct HttpGivenUpHost {
  std::string hostPort;
  Text url;  // the request whose failure gave it up
  HttpResult result;
};

// A group of requests that end together: one collection run, one update
// download. Thread-safe.
class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Every running and waiting request of the session ends soon as failed
  // (HttpFailure::kCancelled); later submits fail at once.
  void Cancel();
  bool Cancelled() const;

  // The longest site wait of more than two seconds that a request of this
  // session is in, if any.
  std::optional<HttpSiteWait> CurrentWait() const;
  // Each host given up in this session, once: nothing once it has been taken.
  std::optional<HttpGivenUpHost> TakeGivenUpHost();

  struct State;
  const std::shared_ptr<State>& StateForScheduler() const { return m_state; }

 private:
  std::shared_ptr<State> m_state;
};

struct HttpProgress {
  long long received = 0;   // body bytes stored so far (a resumed file counts whole)
  long long expected = -1;  // the whole length when the server announced it
};

struct HttpJob;

// One submitted request. Copies share the request. Thread-safe.
class HttpTicket {
 public:
  HttpTicket() = default;
  explicit HttpTicket(std::shared_ptr<HttpJob> job) : m_job(std::move(job)) {}

  bool Valid() const { return m_job != nullptr; }
  bool Done() const;
  // The result once the request is done. On the GUI thread the window engine
  // keeps the windows alive while it waits (see SetHttpWaitHook).
  const HttpResult& Wait() const;
  // Ends this request only, as kCancelled.
  void Cancel() const;
  HttpProgress Progress() const;
  // Runs `notify` once the request is done: on the scheduler's thread, or at
  // once on the caller's thread when it is done already.
  void OnDone(std::function<void()> notify) const;

  // Blocks the calling thread until done, without the hook (for the hook).
  void BlockUntilDone() const;

 private:
  std::shared_ptr<HttpJob> m_job;
};

// Hands a request to the scheduler. Without a session it belongs to the
// process and ends only by Cancel on the ticket or by CancelHttpRequests.
HttpTicket HttpSubmit(HttpRequest request, std::shared_ptr<HttpSession> session = nullptr);

// How a thread waits for a ticket. The window engine installs one that runs
// an event loop on the GUI thread; without one, Wait blocks.
using HttpWaitHook = void (*)(const HttpTicket& ticket);
void SetHttpWaitHook(HttpWaitHook hook);

}  // namespace lirvo
