#include "support/raw_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace lirvo::test {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

void ParseHead(RawRequest& request) {
  std::string_view head = request.raw;
  if (const auto end = head.find("\r\n\r\n"); end != std::string_view::npos)
    head = head.substr(0, end);
  std::size_t lineEnd = head.find("\r\n");
  request.requestLine = head.substr(0, lineEnd);
  const std::string_view line = request.requestLine;
  const auto firstSpace = line.find(' ');
  const auto lastSpace = line.rfind(' ');
  if (firstSpace != std::string_view::npos && lastSpace > firstSpace) {
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = line.substr(lastSpace + 1);
  }
  while (lineEnd != std::string_view::npos) {
    const std::size_t start = lineEnd + 2;
    lineEnd = head.find("\r\n", start);
    const std::string_view header =
        head.substr(start, lineEnd == std::string_view::npos ? head.npos : lineEnd - start);
    const auto colon = header.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(std::string(header.substr(0, colon)),
                                 std::string(Trim(header.substr(colon + 1))));
  }
}

int Elapsed(std::chrono::steady_clock::time_point since) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - since)
                              .count());
}

}  // namespace

std::optional<std::string> RawRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualNoCase(key, name)) return value;
  }
  return std::nullopt;
}

int RawRequest::HeaderCount(std::string_view name) const {
  int count = 0;
  for (const auto& header : headers) count += EqualNoCase(header.first, name) ? 1 : 0;
  return count;
}

RawScript& RawScript::Send(std::string bytes) {
  m_steps.push_back({Step::Kind::kSend, std::move(bytes), {}});
  return *this;
}

RawScript& RawScript::Pause(std::chrono::milliseconds duration) {
  m_steps.push_back({Step::Kind::kPause, {}, duration});
  return *this;
}

RawScript& RawScript::Stall() {
  m_steps.push_back({Step::Kind::kStall, {}, {}});
  return *this;
}

RawScript& RawScript::Repeat(std::string chunk) {
  m_steps.push_back({Step::Kind::kRepeat, std::move(chunk), {}});
  return *this;
}

RawScript& RawScript::Reset() {
  m_steps.push_back({Step::Kind::kReset, {}, {}});
  return *this;
}

std::string HttpResponse(int status, std::string_view body, std::string_view extraHeaders,
                         bool withLength) {
  std::string out =
      "HTTP/1.0 " + std::to_string(status) + (status < 400 ? " OK" : " Error") + "\r\n";
  if (withLength) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += extraHeaders;
  out += "\r\n";
  out += body;
  return out;
}

RawServer::RawServer(Responder responder, Options options)
    : m_responder(std::move(responder)), m_options(options) {
  int wake[2];
  if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) throw std::runtime_error("RawServer: pipe");
  m_wakeRead = wake[0];
  m_wakeWrite = wake[1];

  m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenFd < 0) throw std::runtime_error("RawServer: socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(m_listenFd, 16) != 0 ||
      getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("RawServer: bind");
  }
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Run(); });
}

RawServer::RawServer(RawScript script, Options options)
    : RawServer([script = std::move(script)](const RawRequest&) { return script; }, options) {}

RawServer::~RawServer() {
  Stop();
  if (m_listenFd >= 0) close(m_listenFd);
  close(m_wakeRead);
  close(m_wakeWrite);
}

namespace {

// A socket bound to a free loopback port, listening (a backlog of 64) or
// not; its port, or 0 when that failed.
int BindLoopback(int fd, bool listening) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      (!listening || ::listen(fd, 64) == 0) &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    return ntohs(address.sin_port);
  return 0;
}

}  // namespace

RefusingPort::RefusingPort()
    : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), m_port(BindLoopback(m_fd, false)) {}

RefusingPort::~RefusingPort() {
  if (m_fd >= 0) ::close(m_fd);
}

std::string RefusingPort::HostPort() const {
  return "127.0.0.1:" + std::to_string(m_port);
}

SilentListener::SilentListener()
    : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), m_port(BindLoopback(m_fd, true)) {}

SilentListener::~SilentListener() {
  if (m_fd >= 0) ::close(m_fd);
}

std::string SilentListener::HostPort() const {
  return "127.0.0.1:" + std::to_string(m_port);
}

std::string RawServer::HostPort() const {
  return "127.0.0.1:" + std::to_string(m_port);
}

std::string RawServer::Url(std::string_view target) const {
  return "http://" + HostPort() + std::string(target);
}

std::vector<RawRequest> RawServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

void RawServer::Stop() {
  if (!m_stopping.exchange(true)) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(m_wakeWrite, &byte, 1);
  }
  if (m_thread.joinable()) m_thread.join();
  std::vector<std::thread> workers;
  {
    std::lock_guard lock(m_mutex);
    workers.swap(m_workers);
  }
  for (auto& worker : workers) worker.join();
}

void RawServer::Run() {
  while (!m_stopping) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++m_connections;
    if (m_options.concurrent) {
      std::lock_guard lock(m_mutex);
      m_workers.emplace_back([this, fd] {
        Serve(fd);
        close(fd);
      });
      continue;
    }
    Serve(fd);
    close(fd);
  }
}

void RawServer::Serve(int fd) {
  RawRequest request;
  const bool open = ReadHead(fd, request);
  ParseHead(request);
  {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
  }
  if (!open) return;
  const RawScript script = m_responder(request);
  for (const auto& step : script.Steps()) {
    using Kind = RawScript::Step::Kind;
    switch (step.kind) {
      case Kind::kSend:
        if (!SendAll(fd, step.bytes)) return;
        break;
      case Kind::kPause:
        if (!WaitIdle(fd, static_cast<int>(step.pause.count()))) return;
        break;
      case Kind::kStall:
        WaitIdle(fd, -1);
        return;
      case Kind::kRepeat:
        while (SendAll(fd, step.bytes)) {
        }
        return;
      case Kind::kReset: {
        const linger abortive{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
        return;
      }
    }
  }
  shutdown(fd, SHUT_WR);
}

bool RawServer::ReadHead(int fd, RawRequest& request) {
  const auto start = std::chrono::steady_clock::now();
  char buffer[4096];
  while (request.raw.find("\r\n\r\n") == std::string::npos) {
    const int left = static_cast<int>(m_options.headTimeout.count()) - Elapsed(start);
    if (left <= 0) return true;
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    if (poll(fds, 2, left) < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents == 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0) return false;
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      return false;
    }
    request.raw.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

bool RawServer::SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    pollfd fds[2] = {{fd, POLLOUT, 0}, {m_wakeRead, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) return false;
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) return false;
  }
  return true;
}

bool RawServer::WaitIdle(int fd, int timeoutMs) {
  const auto start = std::chrono::steady_clock::now();
  char buffer[4096];
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      wait = timeoutMs - Elapsed(start);
      if (wait <= 0) return true;
    }
    pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    if (poll(fds, 2, wait) < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents == 0) continue;
    // Anything the client sends now is dropped; an end of stream means it left.
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
  }
}

}  // namespace lirvo::test
