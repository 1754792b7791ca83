// Running out of memory ends the program with the runtime error report
// "分配 %d 字节内存失败!" and exit code -1, not with an abort. The global
// operator new remembers the size it could not get and throws as usual, so
// code that expects a failed allocation can still catch it; one that nobody
// catches reaches the terminate handler, which reports it.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "services/gbk.h"
#include "ui/engine_qt.h"
#include "ui/window_services.h"

namespace lirvo::ui {

namespace {

using namespace lirvo::literals;

thread_local std::size_t t_failedSize = 0;
// Given back before the report, which needs memory of its own.
void* g_reserve = nullptr;
constexpr std::size_t kReserve = 8u << 20;
std::terminate_handler g_previousTerminate = nullptr;

[[noreturn]] void OnTerminate() {
  static std::atomic<bool> entered{false};
  if (entered.exchange(true)) ::_exit(-1);  // the report itself failed
  if (std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::bad_alloc&) {
      ReportOutOfMemory(t_failedSize);
    } catch (...) {
    }
  }
  // Anything else ends as it would have: the library's handler names it.
  if (g_previousTerminate != nullptr) g_previousTerminate();
  std::abort();
}

}  // namespace

void RememberFailedAllocation(std::size_t bytes) {
  t_failedSize = bytes;
}

void ReportOutOfMemory(std::size_t bytes) {
  std::free(g_reserve);
  g_reserve = nullptr;
  RuntimeError("分配 "_gbk + std::to_string(bytes) + " 字节内存失败!"_gbk);
}

void InstallOutOfMemoryReport() {
  if (g_reserve == nullptr) g_reserve = std::malloc(kReserve);
  std::terminate_handler previous = std::set_terminate(OnTerminate);
  if (previous != OnTerminate) g_previousTerminate = previous;
}

}  // namespace lirvo::ui

// The replaceable allocation functions. Only the size is new; the rest is
// what the library's own do, on malloc and free, so every form pairs with
// every other.
void* operator new(std::size_t size) {
  for (;;) {
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    if (std::new_handler handler = std::get_new_handler()) {
      handler();
      continue;
    }
    lirvo::ui::RememberFailedAllocation(size);
    throw std::bad_alloc();
  }
}

void* operator new[](std::size_t size) {
  return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return ::operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return ::operator new(size, std::nothrow);
}

void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
