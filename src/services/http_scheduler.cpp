// The scheduler: one thread runs every transfer through curl's multi
// interface, so connections are reused where the server keeps them. Requests
// wait in submission order; each loop starts those whose host has room and
// whose wait is over, checks the running ones against the bounds curl does
// not know (cancel, the first byte, the trickle rule) and decides on each
// finished try: done, next hop, or another try later.
#include "services/http_scheduler.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "services/http_pacing.h"
#include "services/http_transfer.h"
#include "services/native_path.h"

namespace lirvo {

using http_internal::Transfer;
using Clock = HttpClock;
using std::chrono::milliseconds;

struct HttpSession::State {
  std::atomic<bool> cancelled{false};
  mutable std::mutex mutex;
  std::optional<HttpSiteWait> wait;
  std::map<std::string, HttpResult> givenUp;  // what the host's later requests get
  std::deque<HttpGivenUpHost> untold;
  std::map<std::string, int> failuresInRow;  // scheduler thread only
  // Since when each host has answered nothing but refusals (scheduler thread only).
  std::map<std::string, Clock::time_point> refusingSince;
};

struct HttpJob {
  HttpRequest request;
  std::shared_ptr<HttpSession::State> session;
  std::atomic<bool> cancelled{false};
  std::atomic<long long> received{0};
  std::atomic<long long> expected{-1};

  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
  HttpResult result;
  std::vector<std::function<void()>> notifies;

  // The scheduler thread's alone once submitted.
  std::uint64_t order = 0;
  int fd = -1;
  HttpUrl current;
  int hop = 0;
  std::optional<Clock::time_point> deadline;
  int tries = 0;  // tries made that failed transiently
  int refusals = 0;
  Clock::duration waited{};
  Clock::time_point notBefore{};
  std::string validator;  // of the first whole answer, for a resume
  long long wholeLength = -1;
  long wholeStatus = 0;  // of that first answer: what a resumed whole reports
  // The running try.
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::shared_ptr<curl_slist> connectTo;
  std::unique_ptr<Transfer> transfer;
  Clock::time_point tryStart{};
  std::optional<HttpFailure> endedBy;  // the scheduler ended the try itself
  bool trickled = false;

  std::string Host() const { return current.HostPort(); }
  bool Stopped() const {
    return cancelled || HttpRequestsCancelled() || (session && session->cancelled);
  }
};

namespace {

std::atomic<HttpWaitHook> g_waitHook{nullptr};
// The write end of the scheduler's wake-up pipe, for the signal handler.
std::atomic<int> g_signalWake{-1};
static_assert(std::atomic<int>::is_always_lock_free);

HttpResult CancelledResult() {
  return HttpResult{Bytes(), 0, false, HttpFailure::kCancelled};
}

// Ends the job: closes its file and hands the result to every waiter.
void Finish(HttpJob& job, HttpResult result) {
  if (job.fd >= 0) {
    if (::close(job.fd) != 0 && result.failure != HttpFailure::kWrite) {
      result.complete = false;
      result.failure = HttpFailure::kWrite;
      result.writeError = errno;
    }
    job.fd = -1;
  }
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

bool IsConnectFailure(HttpFailure failure) {
  return failure == HttpFailure::kRefused || failure == HttpFailure::kHostNotFound ||
         failure == HttpFailure::kTimedOut;
}

class Scheduler {
 public:
  // One per process: a forked child (a death test) has no copy of the
  // parent's thread, so it makes its own and leaves the parent's copy alone.
  static Scheduler* Get(bool create) {
    static std::mutex creating;
    static Scheduler* instance = nullptr;
    static pid_t owner = 0;
    std::lock_guard lock(creating);
    if ((!instance || owner != ::getpid()) && create) {
      instance = new Scheduler;  // lives as long as the process
      owner = ::getpid();
    }
    return owner == ::getpid() ? instance : nullptr;
  }

  bool Ready() const { return m_multi != nullptr; }

  void Submit(std::shared_ptr<HttpJob> job) {
    {
      std::lock_guard lock(m_mutex);
      m_incoming.push_back(std::move(job));
    }
    Wake();
  }

  void Wake() { curl_multi_wakeup(m_multi); }

 private:
  Scheduler() {
    if (!http_internal::InitCurl()) return;
    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return;
    m_multi = curl_multi_init();
    if (!m_multi) return;
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, 32L);
    m_signalRead = wake[0];
    g_signalWake = wake[1];
    std::thread([this] { Run(); }).detach();
  }

  void Run() {
    for (;;) {
      TakeIncoming();
      const Clock::time_point now = Clock::now();
      m_limits = http_internal::CurrentLimits();
      CheckRunning(now);
      int running = 0;
      curl_multi_perform(m_multi, &running);
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg == CURLMSG_DONE) EndTry(message->easy_handle, message->data.result);
      }
      const Clock::time_point wake = StartReady(Clock::now());
      auto timeout = std::chrono::duration_cast<milliseconds>(wake - Clock::now());
      // Running transfers are checked a few times a second for what curl does not bound.
      if (!m_running.empty()) timeout = std::min(timeout, milliseconds(200));
      timeout = std::clamp(timeout, milliseconds(0), milliseconds(1000));
      curl_waitfd signal{m_signalRead, CURL_WAIT_POLLIN, 0};
      curl_multi_poll(m_multi, &signal, 1, static_cast<int>(timeout.count()), nullptr);
      if (signal.revents != 0) {
        char drain[64];
        while (::read(m_signalRead, drain, sizeof drain) > 0) {
        }
      }
    }
  }

  void TakeIncoming() {
    std::vector<std::shared_ptr<HttpJob>> incoming;
    {
      std::lock_guard lock(m_mutex);
      incoming.swap(m_incoming);
    }
    for (auto& job : incoming) {
      job->order = m_nextOrder++;
      m_queue.emplace(job->order, std::move(job));
    }
  }

  double Jitter() { return std::uniform_real_distribution<double>(0.75, 1.25)(m_random); }

  // Ends running tries that were cancelled, never answered or trickle.
  void CheckRunning(Clock::time_point now) {
    std::vector<CURL*> ended;
    for (auto& [easy, job] : m_running) {
      const Transfer& t = *job->transfer;
      job->received = t.received;
      if (t.headersDone) job->expected = t.announced < 0 ? -1 : t.announced + t.resumeFrom;
      const auto elapsed = now - job->tryStart;
      if (job->Stopped()) {
        job->endedBy = HttpFailure::kCancelled;
      } else if (!t.responded && elapsed > std::chrono::seconds(m_limits.firstByteSeconds)) {
        job->endedBy = HttpFailure::kTimedOut;
      } else if (elapsed > std::chrono::seconds(m_limits.trickleGraceSeconds) &&
                 static_cast<double>(t.resumed ? t.received - t.resumeFrom : t.received) <
                     static_cast<double>(m_limits.minAverageBytes) *
                         std::chrono::duration<double>(elapsed).count()) {
        job->endedBy = HttpFailure::kTimedOut;
        job->trickled = true;
      } else {
        continue;
      }
      ended.push_back(easy);
    }
    for (CURL* easy : ended) EndTry(easy, CURLE_ABORTED_BY_CALLBACK);
  }

  // Starts what may start; gives the time of the next start that waits.
  Clock::time_point StartReady(Clock::time_point now) {
    Clock::time_point wake = now + std::chrono::seconds(1);
    std::map<HttpSession::State*, HttpSiteWait> waits;
    for (auto it = m_queue.begin(); it != m_queue.end();) {
      HttpJob& job = *it->second;
      const std::string host = job.Host();
      if (job.Stopped()) {
        Finish(job, CancelledResult());
        it = m_queue.erase(it);
        continue;
      }
      if (const std::optional<HttpResult> given = GivenUp(job, host)) {
        Finish(job, *given);
        it = m_queue.erase(it);
        continue;
      }
      HostPace& pace = m_hosts[host];
      const Clock::time_point start = std::max(job.notBefore, NextStart(pace));
      if (start > now) {
        wake = std::min(wake, start);
        if (job.session && start - now > std::chrono::seconds(2)) {
          HttpSiteWait& longest = waits[job.session.get()];
          if (start > longest.until) longest = HttpSiteWait{host, start};
        }
        ++it;
        continue;
      }
      if (pace.inFlight >= AllowedTransfers(pace, m_limits) ||
          static_cast<int>(m_running.size()) >= std::max(1, m_limits.maxTransfers)) {
        ++it;
        continue;
      }
      std::shared_ptr<HttpJob> started = it->second;
      it = m_queue.erase(it);
      StartTry(started, pace, now);
    }
    PublishWaits(waits);
    return wake;
  }

  void PublishWaits(const std::map<HttpSession::State*, HttpSiteWait>& waits) {
    std::set<std::shared_ptr<HttpSession::State>> now;
    for (const auto& [key, entry] : m_queue) {
      if (entry->session) now.insert(entry->session);
    }
    for (const auto& session : m_waitingSessions) now.insert(session);
    m_waitingSessions.clear();
    for (const auto& session : now) {
      const auto found = waits.find(session.get());
      std::lock_guard lock(session->mutex);
      if (found == waits.end()) {
        session->wait.reset();
      } else {
        session->wait = found->second;
        m_waitingSessions.insert(session);
      }
    }
  }

  std::optional<HttpResult> GivenUp(const HttpJob& job, const std::string& host) {
    if (!job.session) return std::nullopt;
    std::lock_guard lock(job.session->mutex);
    const auto found = job.session->givenUp.find(host);
    if (found == job.session->givenUp.end()) return std::nullopt;
    return found->second;
  }

  void StartTry(const std::shared_ptr<HttpJob>& job, HostPace& pace, Clock::time_point now) {
    const http_internal::HopSettings settings = http_internal::SettingsFor(job->current);
    const HttpKindLimits& bounds = settings.limits.For(job->request.kind);
    if (!job->deadline && bounds.totalSeconds > 0)
      job->deadline = now + std::chrono::seconds(bounds.totalSeconds);
    long timeoutMs = 0;
    if (job->deadline) {
      const auto left = std::chrono::duration_cast<milliseconds>(*job->deadline - now);
      if (left.count() <= 0) {
        Finish(*job, HttpResult{Bytes(), job->result.status, false, HttpFailure::kTimedOut});
        return;
      }
      timeoutMs = static_cast<long>(left.count());
    }

    auto t = std::make_unique<Transfer>();
    t->maxBodyBytes = bounds.maxBodyBytes;
    t->fd = job->fd;
    t->mayRetry = job->request.retry == HttpRetry::kTransient &&
                  job->tries + 1 < settings.limits.tries &&
                  job->refusals + 1 < settings.limits.refusals;
    if (job->fd >= 0) {
      const off_t size = ::lseek(job->fd, 0, SEEK_END);
      if (size > 0 && !job->validator.empty() && job->wholeLength > size) {
        t->resumeFrom = size;
        t->validator = job->validator;
        t->wholeLength = job->wholeLength;
      } else if (size != 0 &&
                 (::ftruncate(job->fd, 0) != 0 || ::lseek(job->fd, 0, SEEK_SET) != 0)) {
        Finish(*job, HttpResult{Bytes(), 0, false, HttpFailure::kWrite, errno});
        return;
      }
    }
    job->headers = http_internal::RequestHeaders(t->resumeFrom, t->validator);
    CURL* easy = TakeHandle();
    if (!job->headers || !easy) {
      if (easy) m_idle.push_back(easy);
      if (job->headers) curl_slist_free_all(job->headers);
      job->headers = nullptr;
      Finish(*job, HttpResult{Bytes(), 0, false, HttpFailure::kBroken});
      return;
    }
    const HttpFailure setup =
        http_internal::Prepare(easy, job->current, settings, timeoutMs, job->headers, *t);
    if (setup != HttpFailure::kNone || curl_multi_add_handle(m_multi, easy) != CURLM_OK) {
      m_idle.push_back(easy);
      curl_slist_free_all(job->headers);
      job->headers = nullptr;
      Finish(*job, HttpResult{Bytes(), job->result.status, false,
                              setup == HttpFailure::kNone ? HttpFailure::kBroken : setup});
      return;
    }
    job->easy = easy;
    job->connectTo = settings.connectTo;
    job->transfer = std::move(t);
    job->tryStart = now;
    job->endedBy.reset();
    ++pace.inFlight;
    pace.lastStart = now;
    m_running[easy] = job;
  }

  CURL* TakeHandle() {
    if (!m_idle.empty()) {
      CURL* easy = m_idle.back();
      m_idle.pop_back();
      return easy;
    }
    return curl_easy_init();
  }

  void Requeue(const std::shared_ptr<HttpJob>& job) { m_queue.emplace(job->order, job); }

  // One try is over: the answer, the next hop, or another try later.
  void EndTry(CURL* easy, CURLcode code) {
    const auto found = m_running.find(easy);
    if (found == m_running.end()) return;
    const std::shared_ptr<HttpJob> job = found->second;
    m_running.erase(found);
    curl_multi_remove_handle(m_multi, easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    m_idle.push_back(easy);
    curl_slist_free_all(job->headers);
    job->headers = nullptr;
    job->connectTo.reset();
    job->easy = nullptr;
    std::unique_ptr<Transfer> t = std::move(job->transfer);
    const std::string host = job->Host();
    HostPace& pace = m_hosts[host];
    --pace.inFlight;
    job->received = t->received;

    if (job->endedBy == HttpFailure::kCancelled || job->Stopped()) {
      Finish(*job, CancelledResult());
      return;
    }
    if (t->responded && job->session) job->session->failuresInRow[host] = 0;
    const long answered = status;
    if (t->responded && job->session && !http_internal::IsRefusalStatus(answered))
      job->session->refusingSince.erase(host);
    if (t->abort == Transfer::Abort::kTooLarge) {
      // Nothing of an oversized body is kept, in memory or in the file.
      if (job->fd >= 0 && ::ftruncate(job->fd, 0) != 0) {
        Finish(*job, HttpResult{Bytes(), answered, false, HttpFailure::kWrite, errno});
      } else {
        Finish(*job, HttpResult{Bytes(), answered, false, HttpFailure::kTooLarge});
      }
      return;
    }
    if (t->abort == Transfer::Abort::kWrite) {
      Finish(*job, HttpResult{Bytes(), answered, false, HttpFailure::kWrite, t->writeError});
      return;
    }
    if (t->headersDone && t->IsRedirect()) {
      OnAnswer(pace, m_limits);
      std::optional<HttpUrl> next = ResolveHttpReference(job->current, t->location);
      if (!next || job->hop >= m_limits.maxRedirects) {
        Finish(*job, HttpResult{Bytes(), answered, false, HttpFailure::kBroken});
        return;
      }
      job->current = std::move(*next);
      ++job->hop;
      job->result.status = answered;
      Requeue(job);
      return;
    }

    const HttpFailure failure = job->endedBy ? *job->endedBy : http_internal::FailureOf(code);
    HttpResult result{job->fd >= 0 ? Bytes() : std::move(t->body), answered, code == CURLE_OK,
                      failure};
    if (t->abort == Transfer::Abort::kRangeMismatch) {
      // The server's range is not the rest of our file: start it over.
      job->validator.clear();
      job->wholeLength = -1;
      result = HttpResult{Bytes(), answered, false, HttpFailure::kBroken};
    } else if (job->fd >= 0 && t->headersDone && !t->discard && !t->resumed && t->status >= 200 &&
               t->status < 300) {
      job->validator = t->Validator();
      job->wholeLength = t->announced;
      job->wholeStatus = t->status;
    }
    // A file completed by a 206 holds the whole body that the first answer
    // began: callers see that answer's status, not the range's.
    if (t->resumed && result.complete) result.status = job->wholeStatus;
    // Also a request of one try tells that the host cannot be reached.
    if (!t->responded && IsConnectFailure(failure) && job->session) {
      HttpSession::State& session = *job->session;
      if (++session.failuresInRow[host] >= m_limits.deadHostFailures) {
        GiveUp(*job, host, result);
        Finish(*job, std::move(result));
        return;
      }
    }

    if (job->request.retry == HttpRetry::kNone) {
      Finish(*job, std::move(result));
      return;
    }
    const Clock::time_point now = Clock::now();

    if (result.complete && http_internal::IsRefusalStatus(answered)) {
      // A host that has refused every request for longer than one request may
      // wait (a site down for maintenance) is given up like one out of reach.
      if (job->session) {
        const auto since = job->session->refusingSince.try_emplace(host, now).first->second;
        if (now - since > std::chrono::seconds(m_limits.maxSiteWaitSeconds)) {
          GiveUp(*job, host, result);
          Finish(*job, std::move(result));
          return;
        }
      }
      const milliseconds wait = OnRefusal(pace, now, t->retryAfterSeconds, m_limits, Jitter());
      ++job->refusals;
      job->waited += wait;
      if (job->refusals >= m_limits.refusals ||
          job->waited > std::chrono::seconds(m_limits.maxSiteWaitSeconds) ||
          (job->deadline && pace.waitUntil >= *job->deadline)) {
        Finish(*job, std::move(result));
        return;
      }
      job->notBefore = pace.waitUntil;
      Requeue(job);
      return;
    }
    if (t->responded) OnAnswer(pace, m_limits);

    const bool transient = (!result.complete && !job->trickled &&
                            (IsConnectFailure(failure) || failure == HttpFailure::kBroken)) ||
                           (result.complete && http_internal::IsRetryStatus(answered));
    if (!transient || job->tries + 1 >= m_limits.tries) {
      Finish(*job, std::move(result));
      return;
    }
    const milliseconds backoff = HttpBackoff(job->tries, m_limits, Jitter());
    if (job->waited + backoff > std::chrono::seconds(m_limits.maxSiteWaitSeconds) ||
        (job->deadline && now + backoff >= *job->deadline)) {
      Finish(*job, std::move(result));
      return;
    }
    ++job->tries;
    job->waited += backoff;
    job->notBefore = now + backoff;
    job->result.status = answered;
    Requeue(job);
  }

  void GiveUp(const HttpJob& job, const std::string& host, const HttpResult& result) {
    HttpSession::State& session = *job.session;
    const HttpResult given{Bytes(), result.status, false, result.failure};
    std::lock_guard lock(session.mutex);
    if (session.givenUp.emplace(host, given).second)
      session.untold.push_back(HttpGivenUpHost{host, job.request.url, given});
  }

  std::mutex m_mutex;  // guards m_incoming
  std::vector<std::shared_ptr<HttpJob>> m_incoming;
  CURLM* m_multi = nullptr;
  int m_signalRead = -1;

  // The scheduler thread's alone.
  HttpLimits m_limits;
  std::uint64_t m_nextOrder = 0;
  std::map<std::uint64_t, std::shared_ptr<HttpJob>> m_queue;  // in submission order
  std::map<CURL*, std::shared_ptr<HttpJob>> m_running;
  std::map<std::string, HostPace> m_hosts;
  std::vector<CURL*> m_idle;
  std::set<std::shared_ptr<HttpSession::State>> m_waitingSessions;
  std::mt19937 m_random{std::random_device{}()};
};

void WakeScheduler() {
  if (Scheduler* scheduler = Scheduler::Get(false)) scheduler->Wake();
}

}  // namespace

void http_internal::WakeSchedulerFromSignal() {
  const int fd = g_signalWake.load();
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  }
}

HttpSession::HttpSession() : m_state(std::make_shared<State>()) {}
HttpSession::~HttpSession() = default;

void HttpSession::Cancel() {
  m_state->cancelled = true;
  WakeScheduler();
}

bool HttpSession::Cancelled() const {
  return m_state->cancelled;
}

std::optional<HttpSiteWait> HttpSession::CurrentWait() const {
  std::lock_guard lock(m_state->mutex);
  return m_state->wait;
}

std::optional<HttpGivenUpHost> HttpSession::TakeGivenUpHost() {
  std::lock_guard lock(m_state->mutex);
  if (m_state->untold.empty()) return std::nullopt;
  HttpGivenUpHost host = std::move(m_state->untold.front());
  m_state->untold.pop_front();
  return host;
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
    if (const HttpWaitHook hook = g_waitHook.load()) hook(*this);
    BlockUntilDone();
  }
  return m_job->result;
}

void HttpTicket::Cancel() const {
  m_job->cancelled = true;
  WakeScheduler();
}

HttpProgress HttpTicket::Progress() const {
  return HttpProgress{m_job->received.load(), m_job->expected.load()};
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
  const HttpTicket ticket(job);
  if (!job->request.file.empty()) {
    // The file is created or truncated before anything is asked.
    job->fd = ::open(NativePath(job->request.file).c_str(),
                     O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (job->fd < 0) {
      Finish(*job, HttpResult{Bytes(), 0, false, HttpFailure::kWrite, errno});
      return ticket;
    }
  }
  const std::optional<HttpUrl> url =
      job->request.url.empty() ? std::nullopt : ParseHttpUrl(job->request.url);
  if (job->Stopped()) {
    Finish(*job, CancelledResult());
    return ticket;
  }
  if (!url) {
    Finish(*job, HttpResult{Bytes(), 0, false, HttpFailure::kBadUrl});
    return ticket;
  }
  job->current = *url;
  Scheduler* scheduler = Scheduler::Get(true);
  if (!scheduler->Ready()) {
    Finish(*job, HttpResult{Bytes(), 0, false, HttpFailure::kBroken});
    return ticket;
  }
  scheduler->Submit(job);
  return ticket;
}

void SetHttpWaitHook(HttpWaitHook hook) {
  g_waitHook = hook;
}

}  // namespace lirvo
