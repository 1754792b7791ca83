#include "collect/run_stop.h"

namespace lirvo::collect {

namespace {

std::shared_ptr<HttpSession>& Session() {
  static std::shared_ptr<HttpSession> session = std::make_shared<HttpSession>();
  return session;
}

bool g_stopRequested = false;

}  // namespace

const std::shared_ptr<HttpSession>& RunSession() {
  return Session();
}

void BeginRunSession() {
  Session() = std::make_shared<HttpSession>();
  g_stopRequested = false;
}

void RequestRunStop() {
  g_stopRequested = true;
  Session()->Cancel();
}

bool RunStopRequested() {
  return g_stopRequested;
}

}  // namespace lirvo::collect
