#include "services/replace_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace lirvo {

namespace {

constexpr std::string_view kTemporaryPrefix = ".lirvo-";
constexpr std::string_view kTemporarySuffix = ".tmp";

bool IsDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// Writes `data` at `at` from a child that shares this process's memory but not
// its signals. A kill stops a write between two pages; the program's kill does
// not reach the child, which ends the write before it exits, and the program
// goes on only after that. True when all of `data` was written.
bool WriteFromChild(int fd, std::string_view data, off_t at) {
  // With every signal blocked, none of the program's handlers can run in the
  // child on the program's memory.
  sigset_t all;
  sigset_t old;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t child = ::vfork();
  if (child == 0) {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n =
          ::pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(done == data.size() ? 0 : 1);
  }
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (child < 0) return false;
  int status = 0;
  pid_t waited = -1;
  do {
    waited = ::waitpid(child, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  // Someone else collected the child (a handler waiting for any child); the
  // write is over all the same, and the file's size tells how it went.
  struct stat st;
  return ::fstat(fd, &st) == 0 &&
         static_cast<std::size_t>(st.st_size) == static_cast<std::size_t>(at) + data.size();
}

}  // namespace

std::string NewTemporaryName() {
  static std::atomic<unsigned> counter{0};
  return std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" +
         std::to_string(++counter) + std::string(kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
  // Earlier versions used one fixed download name per folder; a run that
  // died may have left it in the library.
  if (name == ".lirvo-download.tmp") return true;
  if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) return false;
  name.remove_prefix(kTemporaryPrefix.size());
  name.remove_suffix(kTemporarySuffix.size());
  const auto dash = name.find('-');
  return dash != std::string_view::npos && IsDigits(name.substr(0, dash)) &&
         IsDigits(name.substr(dash + 1));
}

bool IsReadOnlyFile(const struct stat& st) {
  return !S_ISDIR(st.st_mode) && (st.st_mode & 0222) == 0;
}

bool ExistsReadOnly(const std::string& native) {
  struct stat st;
  return ::stat(native.c_str(), &st) == 0 && IsReadOnlyFile(st);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ResolveReplaceTarget(const std::string& native, std::string& target) {
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    target = native;
    return true;
  }
  char resolved[PATH_MAX];
  if (::realpath(native.c_str(), resolved) == nullptr) return false;
  target = resolved;
  return true;
}

bool ReplaceFileContent(const std::string& target, std::string_view bytes) {
  struct stat old;
  bool existed = ::stat(target.c_str(), &old) == 0;
  const std::size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + NewTemporaryName();
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  if (ok && existed) ::fchmod(fd, old.st_mode & 07777);
  if (::close(fd) != 0) ok = false;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool AppendWhole(const std::string& target, std::size_t size, std::string_view tail) {
  static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  if (tail.empty()) return false;
  int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok =
      ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) == size;
  if (ok) {
    const off_t at = static_cast<off_t>(size);
    if (size % page + tail.size() <= page) {
      ssize_t n = -1;
      do {
        n = ::pwrite(fd, tail.data(), tail.size(), at);
      } while (n < 0 && errno == EINTR);
      ok = n == static_cast<ssize_t>(tail.size());
    } else {
      ok = WriteFromChild(fd, tail, at);
    }
    // A short write (a full disk) is taken back.
    if (!ok && ::ftruncate(fd, at) != 0) {
      // The replacement the caller makes next puts the whole file right.
    }
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

}  // namespace lirvo
