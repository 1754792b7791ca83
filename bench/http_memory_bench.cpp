// Peak memory of one large fetch: an archive streamed into a file, or a
// version text that is far too long. A forked child serves the body on
// loopback from one small buffer, so the figures are the fetching side's alone.
//
//   http_memory_bench archive [bytes] [folder]   (default 1 GiB into /tmp)
//   http_memory_bench version [bytes]            (default 511 MiB)
//
// Prints the result, the wall time and VmHWM (the process's peak resident
// memory) before and after the fetch. Run each case in its own process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "services/files.h"
#include "services/http.h"

namespace {

long VmHwmKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Answers one request with `bytes` of body, announced or ended by the close.
[[noreturn]] void Serve(int listenFd, long long bytes, bool announce) {
  const int fd = ::accept(listenFd, nullptr, nullptr);
  std::string head;
  char buffer[4096];
  while (fd >= 0 && head.find("\r\n\r\n") == std::string::npos) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) _exit(1);
    head.append(buffer, static_cast<std::size_t>(n));
  }
  std::string answer = "HTTP/1.0 200 OK\r\n";
  if (announce) answer += "Content-Length: " + std::to_string(bytes) + "\r\n";
  answer += "\r\n";
  if (!SendAll(fd, answer.data(), answer.size())) _exit(1);
  static char chunk[1 << 20];
  std::memset(chunk, '7', sizeof chunk);
  while (bytes > 0) {
    const std::size_t n = static_cast<std::size_t>(std::min<long long>(bytes, sizeof chunk));
    if (!SendAll(fd, chunk, n)) _exit(0);  // the client gave up
    bytes -= static_cast<long long>(n);
  }
  ::close(fd);
  _exit(0);
}

const char* FailureName(lirvo::HttpFailure failure) {
  using lirvo::HttpFailure;
  switch (failure) {
    case HttpFailure::kNone:
      return "none";
    case HttpFailure::kBadUrl:
      return "bad URL";
    case HttpFailure::kHostNotFound:
      return "host not found";
    case HttpFailure::kRefused:
      return "refused";
    case HttpFailure::kTimedOut:
      return "timed out";
    case HttpFailure::kTooLarge:
      return "too large";
    case HttpFailure::kBroken:
      return "broken";
    case HttpFailure::kWrite:
      return "write";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode != "archive" && mode != "version") {
    std::fprintf(stderr, "usage: %s archive [bytes] [folder] | version [bytes]\n", argv[0]);
    return 2;
  }
  const bool archive = mode == "archive";
  const long long bytes = argc > 2 ? std::atoll(argv[2]) : archive ? 1LL << 30 : 511LL << 20;
  const std::string folder = argc > 3 ? argv[3] : "/tmp";

  const int listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd, 1) != 0 ||
      ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("listen");
    return 1;
  }
  // The archive's length is announced, as download hosts do; the version
  // text's is not, so that only the bound ends it.
  const pid_t server = ::fork();
  if (server == 0) Serve(listenFd, bytes, archive);
  ::close(listenFd);

  const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) +
                          (archive ? "/down/2011/1.rar" : "/lirvo/banben");
  const long before = VmHwmKb();
  const auto start = std::chrono::steady_clock::now();
  lirvo::HttpResult result;
  long long kept = 0;
  if (archive) {
    const lirvo::Text file = folder + "/lirvo-http-bench.rar.tmp";
    result = lirvo::HttpFetchToFile(url, file, lirvo::HttpKind::kArchive);
    kept = lirvo::ExactFileSize(file);
    lirvo::DeleteFile(file);
  } else {
    // As the version check does: the body becomes a text.
    result = lirvo::HttpFetch(url, lirvo::HttpKind::kVersionText);
    kept = static_cast<long long>(lirvo::ToText(result.body).size());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long after = VmHwmKb();
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);

  std::printf("%s: %lld bytes served, failure %s, status %ld, %lld bytes kept, %.2f s\n",
              mode.c_str(), bytes, FailureName(result.failure), result.status, kept, seconds);
  std::printf("VmHWM before the fetch %.1f MB, after %.1f MB\n", before / 1024.0, after / 1024.0);
  return 0;
}
