#include "services/blocking_call.h"

#include <atomic>

namespace lirvo {

namespace {

std::atomic<BlockingRunner> g_runner{nullptr};

}  // namespace

void SetBlockingRunner(BlockingRunner runner) {
  g_runner = runner;
}

void RunBlocking(const std::function<void()>& work) {
  if (const BlockingRunner runner = g_runner.load()) {
    runner(work);
  } else {
    work();
  }
}

}  // namespace lirvo
