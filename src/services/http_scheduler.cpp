// A first scheduler: each request runs the plain fetch on a thread of its
// own. It keeps the ticket and session contract; pacing, retries and resume
// come with the real scheduler.
#include "services/http_scheduler.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lirvo {

struct HttpSession::State {
  std::atomic<bool> cancelled{false};
};

struct HttpJob {
  HttpRequest request;
  std::shared_ptr<HttpSession::State> session;
  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
  HttpResult result;
  std::vector<std::function<void()>> notifies;
};

namespace {

std::atomic<HttpWaitHook> g_waitHook{nullptr};

void Finish(HttpJob& job, HttpResult result) {
  std::vector<std::function<void()>> notifies;
  {
    std::lock_guard lock(job.mutex);
    job.result = std::move(result);
    job.done = true;
    notifies.swap(job.notifies);
  }
  job.doneChanged.notify_all();
  for (auto& notify : notifies) notify();
}

HttpResult Cancelled() {
  return HttpResult{Bytes(), 0, false, HttpFailure::kCancelled};
}

}  // namespace

HttpSession::HttpSession() : m_state(std::make_shared<State>()) {}
HttpSession::~HttpSession() = default;

void HttpSession::Cancel() {
  m_state->cancelled = true;
}

bool HttpSession::Cancelled() const {
  return m_state->cancelled;
}

std::optional<HttpSiteWait> HttpSession::CurrentWait() const {
  return std::nullopt;
}

std::optional<HttpGivenUpHost> HttpSession::TakeGivenUpHost() {
  return std::nullopt;
}

bool HttpTicket::Done() const {
  std::lock_guard lock(m_job->mutex);
  return m_job->done;
}

void HttpTicket::BlockUntilDone() const {
  std::unique_lock lock(m_job->mutex);
  m_job->doneChanged.wait(lock, [this] { return m_job->done; });
}

const HttpResult& HttpTicket::Wait() const {
  if (!Done()) {
    if (const HttpWaitHook hook = g_waitHook.load()) {
      hook(*this);
    }
    BlockUntilDone();
  }
  return m_job->result;
}

void HttpTicket::Cancel() const {}

HttpProgress HttpTicket::Progress() const {
  return {};
}

void HttpTicket::OnDone(std::function<void()> notify) const {
  {
    std::lock_guard lock(m_job->mutex);
    if (!m_job->done) {
      m_job->notifies.push_back(std::move(notify));
      return;
    }
  }
  notify();
}

HttpTicket HttpSubmit(HttpRequest request, std::shared_ptr<HttpSession> session) {
  auto job = std::make_shared<HttpJob>();
  job->request = std::move(request);
  if (session) job->session = session->StateForScheduler();
  if (job->session && job->session->cancelled) {
    Finish(*job, Cancelled());
    return HttpTicket(job);
  }
  std::thread([job] {
    const HttpRequest& r = job->request;
    HttpResult result =
        r.file.empty() ? HttpFetch(r.url, r.kind) : HttpFetchToFile(r.url, r.file, r.kind);
    if (job->session && job->session->cancelled) result = Cancelled();
    Finish(*job, std::move(result));
  }).detach();
  return HttpTicket(job);
}

void SetHttpWaitHook(HttpWaitHook hook) {
  g_waitHook = hook;
}

}  // namespace lirvo
