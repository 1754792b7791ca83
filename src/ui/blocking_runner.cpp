// Requests of the GUI thread run on a worker thread; the GUI thread waits in
// an event loop that leaves user input queued, so windows repaint and the
// window manager's pings are answered while no handler runs (the engine keeps
// their events for later) and clicks and keys come after the request.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>

#include <unistd.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "services/blocking_call.h"
#include "ui/engine_qt.h"

namespace lirvo::ui {

namespace {

constexpr QEvent::Type kRequestDone = static_cast<QEvent::Type>(QEvent::User + 0x70);

// Ends the GUI thread's wait when the worker posts that the work is done.
class Waiter : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kRequestDone) return QObject::event(e);
    if (loop != nullptr) loop->quit();
    return true;
  }
  QEventLoop* loop = nullptr;
};

// One thread serves every request of the GUI thread, so the HTTP service keeps
// its connections from one request to the next. It is never stopped: at exit
// it sleeps on its condition variable, and the object is never destroyed.
class Worker {
 public:
  void Start(const std::function<void()>& work, QObject* notify) {
    std::lock_guard lock(m_mutex);
    if (!m_started) {
      std::thread([this] { Serve(); }).detach();
      m_started = true;
    }
    m_work = &work;
    m_notify = notify;
    m_done = false;
    m_error = nullptr;
    m_wake.notify_one();
  }

  bool Done() {
    std::lock_guard lock(m_mutex);
    return m_done;
  }

  std::exception_ptr TakeError() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_error, nullptr);
  }

 private:
  void Serve() {
    std::unique_lock lock(m_mutex);
    for (;;) {
      m_wake.wait(lock, [this] { return m_work != nullptr; });
      const std::function<void()>* work = std::exchange(m_work, nullptr);
      lock.unlock();
      std::exception_ptr error;
      try {
        (*work)();
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      m_error = error;
      m_done = true;
      QCoreApplication::postEvent(m_notify, new QEvent(kRequestDone));
    }
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  const std::function<void()>* m_work = nullptr;
  QObject* m_notify = nullptr;
  bool m_done = true;
  std::exception_ptr m_error;
  bool m_started = false;
};

void RunWithWindowsAlive(const std::function<void()>& work) {
  const QCoreApplication* app = QCoreApplication::instance();
  // Other threads, and a request inside the wait of another, run inline.
  if (app == nullptr || QThread::currentThread() != app->thread() || Engine::Get().InRequest()) {
    work();
    return;
  }
  // A forked child (a death test) has no copy of the worker thread: it gets
  // a worker of its own.
  static Worker* worker = nullptr;
  static pid_t workerProcess = 0;
  if (workerProcess != ::getpid()) {
    worker = new Worker;
    workerProcess = ::getpid();
  }
  static Waiter* const waiter = new Waiter;

  Engine::Get().BeginRequest();
  worker->Start(work, waiter);
  QEventLoop loop;
  waiter->loop = &loop;
  // Socket notifiers of this thread (the stop-signal pipe) wait too, as they
  // did while a request blocked the thread. A notice of an earlier wait may
  // end this one early; the loop asks again.
  while (!worker->Done()) {
    loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
  }
  waiter->loop = nullptr;
  Engine::Get().EndRequest();
  if (std::exception_ptr error = worker->TakeError()) std::rethrow_exception(error);
}

}  // namespace

void InstallBlockingRunner() {
  SetBlockingRunner(&RunWithWindowsAlive);
}

}  // namespace lirvo::ui
