#include "services/profile_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "services/replace_file.h"

namespace lirvo {
namespace {

constexpr std::string_view kJournalMark = "lirvo-append";

std::string JournalPath(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  return native.substr(0, name) + AppendJournalName(std::string_view(native).substr(name));
}

// The journal: "lirvo-append <device> <inode> <size>\n", then the bytes.
std::string JournalHeader(const struct stat& st) {
  return std::string(kJournalMark) + " " + std::to_string(st.st_dev) + " " +
         std::to_string(st.st_ino) + " " + std::to_string(st.st_size) + "\n";
}

bool ReadNumber(std::string_view& s, unsigned long long& number) {
  if (s.empty() || s.front() != ' ') return false;
  s.remove_prefix(1);
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), number);
  if (error != std::errc()) return false;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
  return true;
}

bool ReadWhole(int fd, std::string& bytes) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  bytes.assign(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return true;
}

bool LockWhole(int fd) {
  int result = -1;
  do {
    result = ::flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

}  // namespace

ProfileLock::~ProfileLock() {
  if (m_fd >= 0) ::close(m_fd);
}

ProfileLock::Result ProfileLock::Lock(const std::string& native) {
  m_journal = JournalPath(native);
  // Another writer may replace or remove the file while this one waits for
  // the lock; then the lock is taken again on what the name holds now.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(native.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Result::kMissing : Result::kFailed;
    struct stat held;
    struct stat named;
    if (!LockWhole(fd) || ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return Result::kFailed;
    }
    if (::stat(native.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino) {
      m_fd = fd;
      m_stat = held;
      // A torn append that could not be taken back must not be built on.
      return TakeBackTornAppend() ? Result::kLocked : Result::kFailed;
    }
    ::close(fd);
  }
  return Result::kFailed;
}

// What is cut: only bytes at the end of the file that the journal says an
// append was writing there, and only a proper beginning of them (the append
// did not finish). A line without its line end that a hand edit left, or a
// file changed since in any other way, stays as it is.
bool ProfileLock::TakeBackTornAppend() {
  const int fd = ::open(m_journal.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  std::string journal;
  const bool read = ReadWhole(fd, journal);
  ::close(fd);
  if (!read) return false;
  std::string_view rest(journal);
  unsigned long long device = 0;
  unsigned long long inode = 0;
  unsigned long long before = 0;
  // A journal cut short was being written when its writer died, before its
  // append began.
  const bool whole = rest.starts_with(kJournalMark) &&
                     (rest.remove_prefix(kJournalMark.size()), ReadNumber(rest, device)) &&
                     ReadNumber(rest, inode) && ReadNumber(rest, before) && rest.starts_with('\n');
  if (whole && device == static_cast<unsigned long long>(m_stat.st_dev) &&
      inode == static_cast<unsigned long long>(m_stat.st_ino)) {
    const std::string_view tail = rest.substr(1);
    const auto size = static_cast<unsigned long long>(m_stat.st_size);
    if (size > before && size < before + tail.size()) {
      std::string written(static_cast<std::size_t>(size - before), '\0');
      const ssize_t n = ::pread(m_fd, written.data(), written.size(), static_cast<off_t>(before));
      if (n == static_cast<ssize_t>(written.size()) && tail.starts_with(written)) {
        if (::ftruncate(m_fd, static_cast<off_t>(before)) != 0 || ::fstat(m_fd, &m_stat) != 0)
          return false;
      }
    }
  }
  return ::unlink(m_journal.c_str()) == 0 || errno == ENOENT;
}

bool ProfileLock::Append(std::size_t size, std::string_view tail) {
  if (tail.empty() || static_cast<std::size_t>(m_stat.st_size) != size) return false;
  const int journal = ::open(m_journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (journal < 0) return false;
  bool ok = WriteAll(journal, JournalHeader(m_stat)) && WriteAll(journal, tail);
  if (::close(journal) != 0) ok = false;
  if (!ok) {
    ::unlink(m_journal.c_str());
    return false;
  }
  ssize_t n = -1;
  do {
    n = ::write(m_fd, tail.data(), tail.size());
  } while (n < 0 && errno == EINTR);
  ok = n == static_cast<ssize_t>(tail.size());
  // A short write (a full disk) is taken back; when even that fails, the
  // journal stays for the next writer.
  if (!ok && n > 0 && ::ftruncate(m_fd, static_cast<off_t>(size)) != 0) return false;
  ::unlink(m_journal.c_str());
  if (::fstat(m_fd, &m_stat) != 0) return false;
  return ok;
}

}  // namespace lirvo
