#include "collect/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <set>

#include "collect/run_lock.h"
#include "services/files.h"
#include "services/http.h"
#include "ui/window_services.h"

namespace lirvo::collect {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);
int g_pipe[2] = {-1, -1};
std::set<Text> g_pendingTemporaries;

void OnStopSignal(int signal) {
  const int savedErrno = errno;
  g_stop = true;
  CancelHttpRequests();
  if (g_pipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  }
  // A second signal ends the process at once, should the clean end hang.
  ::signal(signal, SIG_DFL);
  errno = savedErrno;
}

[[noreturn]] void EndAfterStop() {
  // A transfer still writing goes on into an unlinked file until the exit.
  for (const Text& path : g_pendingTemporaries) DeleteFile(path);
  DeleteCacheUnlessInUse();
  ui::EndProgram(0);
}

}  // namespace

void InstallStopSignals() {
  if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // Lives as long as the process; it runs on the GUI thread's event loop.
  auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char buffer[16];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    StopIfRequested();
  });
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
}

bool StopRequested() {
  return g_stop;
}

void StopIfRequested() {
  if (g_stop) EndAfterStop();
}

void AddPendingTemporary(const Text& path) {
  g_pendingTemporaries.insert(path);
}

void ForgetPendingTemporary(const Text& path) {
  g_pendingTemporaries.erase(path);
}

}  // namespace lirvo::collect
