#pragma once
// RawServer: a scripted HTTP server on a raw socket, for tests of what the
// program sends and of broken or hostile servers.
//
// It listens on 127.0.0.1 at an ephemeral port and serves one connection at a
// time on its own thread (or each on a thread of its own, Options::concurrent). For each connection
// it reads the request head (up to the blank line, or until the head time-out passes), records it,
// asks the responder for a script and plays it: bytes, pauses, a stall that holds the connection
// open, an endless body, an orderly close or a TCP reset. Every wait also ends when the client
// hangs up or the server stops, so a test never hangs on it. The destructor stops the server.
//
//   RawServer server(RawScript().Send(HttpResponse(200, "hello")));
//   HttpGet(server.Url("/a b.html"));
//   server.Requests()[0].target  // "/a b.html", exactly as sent
//
//   // a body cut off midway: announces 100 bytes, sends 40, then closes
//   RawServer cut(RawScript().Send("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n")
//                     .Send(std::string(40, 'x')));
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace lirvo::test {

// A request as the server received it.
struct RawRequest {
  std::string raw;          // every byte read before the answer began
  std::string requestLine;  // the first line, without its line end
  std::string method;
  std::string target;  // the bytes between the two spaces of the request line
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed

  // The first header of that name (case-insensitive), or nothing.
  std::optional<std::string> Header(std::string_view name) const;
  int HeaderCount(std::string_view name) const;
};

// What the server does on one connection, step by step. After the last step
// the connection is closed in order (unless a Reset or an endless step ended it).
class RawScript {
 public:
  struct Step {
    enum class Kind { kSend, kPause, kStall, kRepeat, kReset };
    Kind kind;
    std::string bytes;
    std::chrono::milliseconds pause{0};
  };

  RawScript& Send(std::string bytes);
  // Waits before the next step (ends early when the client hangs up).
  RawScript& Pause(std::chrono::milliseconds duration);
  // Holds the connection open without sending, until the client hangs up or
  // the server stops.
  RawScript& Stall();
  // Sends these bytes again and again, as fast as the client reads, until the
  // client hangs up or the server stops: a body that never ends.
  RawScript& Repeat(std::string chunk);
  // Ends the connection with a TCP reset instead of an orderly close.
  RawScript& Reset();

  const std::vector<Step>& Steps() const { return m_steps; }

 private:
  std::vector<Step> m_steps;
};

// A whole HTTP/1.0 response: status line, Content-Length (unless withLength is
// false: then the body ends at the close), the extra header lines (each ending
// in "\r\n"), the blank line and the body.
std::string HttpResponse(int status, std::string_view body, std::string_view extraHeaders = {},
                         bool withLength = true);

// A port on 127.0.0.1 that refuses every connection for as long as this
// lives: bound but never listening, so no other test can take it meanwhile.
class RefusingPort {
 public:
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  int Port() const { return m_port; }
  std::string HostPort() const;  // "127.0.0.1:port"

 private:
  int m_fd = -1;
  int m_port = 0;
};

// A port on 127.0.0.1 that listens but never accepts: the kernel completes the
// handshake into the backlog and nobody ever answers.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  std::string HostPort() const;  // "127.0.0.1:port"

 private:
  int m_fd = -1;
  int m_port = 0;
};

class RawServer {
 public:
  using Responder = std::function<RawScript(const RawRequest&)>;

  struct Options {
    // How long to wait for the request head before answering anyway (a client
    // that speaks TLS never sends the blank line).
    std::chrono::milliseconds headTimeout{2000};
    // Serves each connection on a thread of its own, so that requests in
    // flight at once are answered at once (the responder must be thread-safe).
    bool concurrent = false;
  };

  explicit RawServer(Responder responder, Options options);
  explicit RawServer(Responder responder) : RawServer(std::move(responder), Options{}) {}
  // Plays the same script on every connection.
  explicit RawServer(RawScript script, Options options);
  explicit RawServer(RawScript script) : RawServer(std::move(script), Options{}) {}
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int Port() const { return m_port; }
  std::string HostPort() const;                    // "127.0.0.1:port"
  std::string Url(std::string_view target) const;  // "http://127.0.0.1:port" + target

  std::vector<RawRequest> Requests() const;
  int ConnectionCount() const { return m_connections.load(); }

  // Stops serving and ends any stall; idempotent.
  void Stop();

 private:
  void Run();
  void Serve(int fd);
  bool ReadHead(int fd, RawRequest& request);
  bool SendAll(int fd, std::string_view bytes);
  // Waits for the client to hang up, the server to stop, or the time-out (a
  // negative one waits without end). True when the connection is still usable.
  bool WaitIdle(int fd, int timeoutMs);

  Responder m_responder;
  Options m_options;
  int m_listenFd = -1;
  int m_wakeRead = -1;
  int m_wakeWrite = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  std::atomic<int> m_connections{0};
  mutable std::mutex m_mutex;
  std::vector<RawRequest> m_requests;
  std::vector<std::thread> m_workers;  // concurrent connections, joined by Stop
  std::thread m_thread;
};

}  // namespace lirvo::test
