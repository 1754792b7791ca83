#include "services/http_scheduler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/files.h"
#include "services/http_pacing.h"
#include "support/quick_http.h"
#include "support/raw_server.h"
#include "support/temp_folder.h"

namespace lirvo {
namespace {

using test::HttpResponse;
using test::RawRequest;
using test::RawScript;
using test::RawServer;
using test::RefusingPort;
using test::SilentListener;
using test::TempFolder;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class HttpSchedulerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHttpLimitsForTest(test::QuickHttpLimits()); }
  void TearDown() override { SetHttpLimitsForTest(HttpLimits{}); }
};

HttpTicket Submit(const std::string& url, const std::shared_ptr<HttpSession>& session = nullptr,
                  Text file = {}) {
  HttpRequest request;
  request.url = url;
  request.kind = file.empty() ? HttpKind::kPage : HttpKind::kArchive;
  request.file = std::move(file);
  return HttpSubmit(std::move(request), session);
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// --- Pace -------------------------------------------------------------------

TEST(HttpPacingTest, BackoffDoublesUpToItsCap) {
  const HttpLimits limits;
  const std::pair<int, long> table[] = {{0, 1000},  {1, 2000},  {2, 4000},
                                        {4, 16000}, {5, 30000}, {40, 30000}};
  for (const auto& [attempt, ms] : table)
    EXPECT_EQ(HttpBackoff(attempt, limits, 1.0).count(), ms) << attempt;
  EXPECT_EQ(HttpBackoff(1, limits, 0.75).count(), 1500);
}

TEST(HttpPacingTest, RefusalsHalveTheShareAndAnswersWinItBackSlowly) {
  const HttpLimits limits;  // four at once
  HostPace pace;
  const Clock::time_point now{};
  // (event, transfers allowed after it, spacing after it in ms)
  struct Step {
    bool refusal;
    int allowed;
    long spacingMs;
  };
  const Step steps[] = {{true, 2, 250},   {true, 1, 500},  {true, 1, 1000}, {false, 2, 937},
                        {false, 2, 878},  {false, 2, 823}, {false, 3, 771}, {true, 1, 1542},
                        {false, 2, 1445}, {false, 2, 1354}};
  for (const Step& step : steps) {
    if (step.refusal) {
      OnRefusal(pace, now, 1, limits, 1.0);
    } else {
      OnAnswer(pace, limits);
    }
    EXPECT_EQ(AllowedTransfers(pace, limits), step.allowed);
    EXPECT_EQ(pace.spacing.count(), step.spacingMs);
  }
  for (int i = 0; i < 200; ++i) OnAnswer(pace, limits);
  EXPECT_EQ(AllowedTransfers(pace, limits), 4);
  EXPECT_EQ(pace.spacing.count(), 0);
}

// --- Retries ----------------------------------------------------------------

struct RetryCase {
  const char* name;
  std::vector<std::string> answers;  // one per request; the last repeats
  HttpRetry retry;
  long status;
  std::size_t requests;
};

class HttpRetryTest : public HttpSchedulerTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(HttpRetryTest, TriesWhatMayPass) {
  const RetryCase& c = GetParam();
  std::atomic<std::size_t> served{0};
  RawServer server([&](const RawRequest&) {
    const std::size_t i = std::min(served++, c.answers.size() - 1);
    const std::string& answer = c.answers[i];
    if (answer == "reset")
      return RawScript().Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nxx").Reset();
    return RawScript().Send(answer);
  });
  HttpRequest request;
  request.url = server.Url("/list/2.html");
  request.retry = c.retry;
  const HttpResult result = HttpSubmit(request).Wait();
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(server.Requests().size(), c.requests);
  if (c.status == 200) {
    EXPECT_EQ(result.body, "page");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpRetryTest,
    ::testing::Values(
        RetryCase{"ServerErrorOnce",
                  {HttpResponse(500, "busy"), HttpResponse(200, "page")},
                  HttpRetry::kTransient,
                  200,
                  2},
        RetryCase{"TimeoutAnswerOnce",
                  {HttpResponse(408, ""), HttpResponse(200, "page")},
                  HttpRetry::kTransient,
                  200,
                  2},
        RetryCase{"ResetOnce", {"reset", HttpResponse(200, "page")}, HttpRetry::kTransient, 200, 2},
        RetryCase{"NotFoundIsFinal", {HttpResponse(404, "gone")}, HttpRetry::kTransient, 404, 1},
        RetryCase{"TriesAreBounded",
                  {HttpResponse(502, "down")},
                  HttpRetry::kTransient,
                  502,
                  static_cast<std::size_t>(HttpLimits{}.tries)},
        RetryCase{"OneTryWhenAsked", {HttpResponse(500, "busy")}, HttpRetry::kNone, 500, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpSchedulerTest, TrickleEndsAndIsNotAskedAgain) {
  HttpLimits limits = test::QuickHttpLimits();
  limits.trickleGraceSeconds = 1;
  limits.minAverageBytes = 4096;  // the trickle below sends 1000 bytes a second
  SetHttpLimitsForTest(limits);
  RawScript trickle;
  trickle.Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n");
  for (int i = 0; i < 50; ++i) trickle.Send(std::string(100, 't')).Pause(100ms);
  RawServer server(trickle);
  const HttpResult result = Submit(server.Url("/a.rar")).Wait();
  EXPECT_EQ(result.failure, HttpFailure::kTimedOut);
  EXPECT_FALSE(result.body.empty());
  EXPECT_EQ(server.Requests().size(), 1u);
}

// A token bucket of two requests a second; a request beyond it is refused
// with Retry-After, and any request inside an announced window is counted.
class TokenBucketSite {
 public:
  explicit TokenBucketSite(bool asDate) : m_asDate(asDate) {}

  RawScript Answer() {
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    const std::time_t wallNow = std::time(nullptr);
    if (now < m_closedUntil || wallNow < m_closedUntilWall) ++m_inside;
    m_tokens = std::min(2.0, m_tokens + 2.0 * std::chrono::duration<double>(now - m_last).count());
    m_last = now;
    if (m_tokens >= 1) {
      m_tokens -= 1;
      ++m_passed;
      return RawScript().Send(HttpResponse(200, "page"));
    }
    ++m_refused;
    std::string retryAfter;
    if (m_asDate) {
      m_closedUntilWall = wallNow + 2;
      char date[64];
      std::tm parts{};
      gmtime_r(&m_closedUntilWall, &parts);
      std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &parts);
      retryAfter = date;
    } else {
      m_closedUntil = now + 1s;
      retryAfter = "1";
    }
    return RawScript().Send(HttpResponse(429, "slow down", "Retry-After: " + retryAfter + "\r\n"));
  }

  int Inside() const { return m_inside; }
  int Passed() const { return m_passed; }
  int Refused() const { return m_refused; }

 private:
  bool m_asDate;
  std::mutex m_mutex;
  double m_tokens = 2;
  Clock::time_point m_last = Clock::now();
  Clock::time_point m_closedUntil{};
  std::time_t m_closedUntilWall = 0;
  int m_inside = 0;
  int m_passed = 0;
  int m_refused = 0;
};

class HttpRetryAfterTest : public HttpSchedulerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(HttpRetryAfterTest, EveryRequestPassesAndNoneArrivesInsideTheWindow) {
  // One at a time: a request already on its way when a refusal is sent could
  // not have known of the window.
  HttpLimits limits = test::QuickHttpLimits();
  limits.perHostTransfers = 1;
  SetHttpLimitsForTest(limits);
  TokenBucketSite site(GetParam());
  RawServer server([&](const RawRequest&) { return site.Answer(); });
  auto run = std::make_shared<HttpSession>();
  std::vector<HttpTicket> tickets;
  for (int i = 0; i < 4; ++i) tickets.push_back(Submit(server.Url("/p.html"), run));
  for (const HttpTicket& ticket : tickets) EXPECT_EQ(ticket.Wait().status, 200);
  EXPECT_EQ(site.Passed(), 4);
  EXPECT_GE(site.Refused(), 1);
  EXPECT_EQ(site.Inside(), 0);
}

INSTANTIATE_TEST_SUITE_P(Forms, HttpRetryAfterTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Date" : "Seconds"; });

// --- Resume -----------------------------------------------------------------

// The first answer: 1000 bytes announced with validator "v1", 600 sent, then
// the connection closes. What the second answer is decides whether the file continues.
struct ResumeCase {
  const char* name;
  bool validator;      // the first answer carries an ETag
  std::string second;  // the answer to the second request
  std::string file;    // what the file holds in the end
  std::size_t requests;
};

const std::string kHead = std::string(600, 'a');
const std::string kTail = std::string(400, 'a');
const std::string kWhole = kHead + kTail;
const std::string kOther = std::string(1000, 'b');

std::string Partial(const std::string& range, const std::string& body,
                    const std::string& etag = "\"v1\"") {
  return HttpResponse(206, body, "ETag: " + etag + "\r\nContent-Range: bytes " + range + "\r\n");
}

class HttpResumeTest : public HttpSchedulerTest,
                       public ::testing::WithParamInterface<ResumeCase> {};

TEST_P(HttpResumeTest, AppendsOnlyTheRestOfTheSameFile) {
  const ResumeCase& c = GetParam();
  std::atomic<int> served{0};
  RawServer server([&](const RawRequest&) {
    const int i = served++;
    if (i == 0) {
      return RawScript().Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n" +
                              std::string(c.validator ? "ETag: \"v1\"\r\n" : "") + "\r\n" + kHead);
    }
    if (i == 1) return RawScript().Send(c.second);
    return RawScript().Send(HttpResponse(200, kOther, "ETag: \"v2\"\r\n"));
  });
  const TempFolder folder;
  const Text file = folder.Path("a.rar.tmp");
  const HttpResult result = Submit(server.Url("/down/1.rar"), nullptr, file).Wait();
  EXPECT_TRUE(result.complete);
  EXPECT_EQ(result.status, 200);  // a download step keeps only a whole 200 answer
  EXPECT_EQ(ReadFile(file), c.file);
  const std::vector<RawRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), c.requests);
  EXPECT_EQ(requests[1].Header("Range"), c.validator ? "bytes=600-" : std::optional<std::string>());
  if (c.validator) {
    EXPECT_EQ(requests[1].Header("If-Range"), "\"v1\"");
  }
  if (requests.size() > 2) {
    EXPECT_EQ(requests[2].HeaderCount("Range"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpResumeTest,
    ::testing::Values(
        ResumeCase{"Honest", true, Partial("600-999/1000", kTail), kWhole, 2},
        ResumeCase{"WholeAgainIsTakenWhole", true, HttpResponse(200, kOther), kOther, 2},
        ResumeCase{"WrongStart", true, Partial("500-999/1000", std::string(500, 'a')), kOther, 3},
        ResumeCase{"WrongTotal", true, Partial("600-1199/1200", std::string(600, 'a')), kOther, 3},
        ResumeCase{"ChangedValidator", true, Partial("600-999/1000", kTail, "\"v2\""), kOther, 3},
        ResumeCase{"NoValidatorStartsOver", false, HttpResponse(200, kOther), kOther, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Bounds -----------------------------------------------------------------

struct InFlightCase {
  const char* name;
  int perHost;
  int inAll;
  int peak;
};

class HttpInFlightTest : public HttpSchedulerTest,
                         public ::testing::WithParamInterface<InFlightCase> {};

TEST_P(HttpInFlightTest, NeverMoreAtOnceThanAllowed) {
  const InFlightCase& c = GetParam();
  HttpLimits limits = test::QuickHttpLimits();
  limits.perHostTransfers = c.perHost;
  limits.maxTransfers = c.inAll;
  SetHttpLimitsForTest(limits);
  std::mutex mutex;
  std::condition_variable changed;
  int active = 0;
  int peak = 0;
  RawServer::Options options;
  options.concurrent = true;
  RawServer server(
      [&](const RawRequest&) {
        std::unique_lock lock(mutex);
        peak = std::max(peak, ++active);
        changed.notify_all();
        // Held until the allowed number is in, so that one too many would show.
        changed.wait_for(lock, 2s, [&] { return active >= c.peak; });
        lock.unlock();
        std::this_thread::sleep_for(20ms);
        lock.lock();
        --active;
        return RawScript().Send(HttpResponse(200, "page"));
      },
      options);
  std::vector<HttpTicket> tickets;
  for (int i = 0; i < 6; ++i) tickets.push_back(Submit(server.Url("/" + std::to_string(i))));
  for (const HttpTicket& ticket : tickets) EXPECT_EQ(ticket.Wait().body, "page");
  EXPECT_EQ(peak, c.peak);
}

INSTANTIATE_TEST_SUITE_P(Limits, HttpInFlightTest,
                         ::testing::Values(InFlightCase{"PerHost", 2, 16, 2},
                                           InFlightCase{"OneInAll", 4, 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// A host out of reach (refusing, or listening without ever answering), and one
// that refuses every request with 503 for longer than one request may wait.
enum class DeadHost { kRefusing, kSilent, kAlwaysBusy };

class HttpDeadHostTest : public HttpSchedulerTest,
                         public ::testing::WithParamInterface<DeadHost> {};

TEST_P(HttpDeadHostTest, IsGivenUpOnceAndItsRequestsFailAtOnce) {
  HttpLimits limits = test::QuickHttpLimits();
  limits.firstByteSeconds = 1;
  limits.maxSiteWaitSeconds = 1;
  limits.refusals = 100;
  SetHttpLimitsForTest(limits);
  const SilentListener silent;
  const RefusingPort refusing;
  RawServer busy(RawScript().Send(HttpResponse(503, "busy", "Retry-After: 0\r\n")),
                 RawServer::Options{.concurrent = true});
  const std::string host = GetParam() == DeadHost::kSilent     ? silent.HostPort()
                           : GetParam() == DeadHost::kRefusing ? refusing.HostPort()
                                                               : busy.HostPort();
  auto run = std::make_shared<HttpSession>();
  std::vector<HttpTicket> tickets;
  for (int i = 0; i < 8; ++i)
    tickets.push_back(Submit("http://" + host + "/" + std::to_string(i) + ".rar", run));
  const HttpFailure expected = GetParam() == DeadHost::kSilent     ? HttpFailure::kTimedOut
                               : GetParam() == DeadHost::kRefusing ? HttpFailure::kRefused
                                                                   : HttpFailure::kNone;
  for (const HttpTicket& ticket : tickets) {
    EXPECT_EQ(ticket.Wait().failure, expected);
    EXPECT_FALSE(ticket.Wait().status == 200);
  }
  const std::optional<HttpGivenUpHost> given = run->TakeGivenUpHost();
  ASSERT_TRUE(given.has_value());
  EXPECT_EQ(given->hostPort, host);
  EXPECT_EQ(given->result.failure, expected);
  EXPECT_EQ(given->result.status, GetParam() == DeadHost::kAlwaysBusy ? 503 : 0);
  EXPECT_FALSE(run->TakeGivenUpHost().has_value());
}

INSTANTIATE_TEST_SUITE_P(Hosts, HttpDeadHostTest,
                         ::testing::Values(DeadHost::kRefusing, DeadHost::kSilent,
                                           DeadHost::kAlwaysBusy),
                         [](const auto& info) {
                           switch (info.param) {
                             case DeadHost::kRefusing:
                               return "Refusing";
                             case DeadHost::kSilent:
                               return "Silent";
                             default:
                               return "AlwaysBusy";
                           }
                         });

// --- Stop -------------------------------------------------------------------

TEST_F(HttpSchedulerTest, CancelEndsStalledAndWaitingRequestsAtOnce) {
  RawServer::Options options;
  options.concurrent = true;
  RawServer stalled(RawScript().Send("HTTP/1.0 200 OK\r\nContent-Length: 9\r\n\r\nabc").Stall(),
                    options);
  RawServer refusing(RawScript().Send(HttpResponse(503, "", "Retry-After: 30\r\n")));
  const TempFolder folder;
  auto run = std::make_shared<HttpSession>();
  const HttpTicket file = Submit(stalled.Url("/a.rar"), run, folder.Path("a.rar.tmp"));
  const HttpTicket page = Submit(stalled.Url("/b.html"), run);
  const HttpTicket alone = Submit(stalled.Url("/c.html"), run);
  const HttpTicket waiting = Submit(refusing.Url("/d.html"), run);

  // The site's wait shows; the bytes that came show as progress.
  const auto start = Clock::now();
  while ((!run->CurrentWait() || file.Progress().received < 3) && SecondsSince(start) < 5)
    std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(run->CurrentWait().has_value());
  EXPECT_EQ(run->CurrentWait()->hostPort, refusing.HostPort());
  EXPECT_GT(run->CurrentWait()->until - Clock::now(), 20s);
  EXPECT_EQ(file.Progress().received, 3);
  EXPECT_EQ(file.Progress().expected, 9);

  alone.Cancel();
  EXPECT_EQ(alone.Wait().failure, HttpFailure::kCancelled);
  EXPECT_FALSE(page.Done());

  const auto cancelled = Clock::now();
  run->Cancel();
  for (const HttpTicket& ticket : {file, page, waiting})
    EXPECT_EQ(ticket.Wait().failure, HttpFailure::kCancelled);
  EXPECT_LT(SecondsSince(cancelled), 1.0);
  EXPECT_EQ(Submit(stalled.Url("/e.html"), run).Wait().failure, HttpFailure::kCancelled);
}

}  // namespace
}  // namespace lirvo
