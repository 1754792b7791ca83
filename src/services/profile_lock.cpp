#include "services/profile_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace lirvo {
namespace {

// The note an append leaves on the file while it is under way: "<size>
// <length>", the file's size before the write and the length of the bytes
// being added.
constexpr const char* kAppendNote = "user.lirvo.append";

bool ReadNumber(std::string_view& s, unsigned long long& number) {
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), number);
  if (error != std::errc()) return false;
  s.remove_prefix(static_cast<std::size_t>(end - s.data()));
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

// What is cut: only bytes past the size the note says the file had before
// an append, when the file is shorter than that append would have made it
// (the append did not finish). The note lives on the file itself, so a file
// replaced since has none. A line without its line end that a hand edit
// left, or a file changed since in any other way, stays as it is.
bool ProfileLock::TakeBackTornAppend() {
  char note[64];
  const ssize_t length = ::fgetxattr(m_fd, kAppendNote, note, sizeof note - 1);
  if (length < 0) return errno == ENODATA || errno == ENOTSUP;
  std::string_view rest(note, static_cast<std::size_t>(length));
  unsigned long long before = 0;
  unsigned long long added = 0;
  if (ReadNumber(rest, before) && rest.starts_with(' ') && (rest.remove_prefix(1), true) &&
      ReadNumber(rest, added) && rest.empty()) {
    const auto size = static_cast<unsigned long long>(m_stat.st_size);
    if (size > before && size < before + added) {
      if (::ftruncate(m_fd, static_cast<off_t>(before)) != 0) return false;
    }
  }
  return ::fremovexattr(m_fd, kAppendNote) == 0 && ::fstat(m_fd, &m_stat) == 0;
}

bool ProfileLock::Append(std::size_t size, std::string_view tail) {
  if (tail.empty() || static_cast<std::size_t>(m_stat.st_size) != size) return false;
  // A file system that keeps no such notes gets the whole file replaced.
  const std::string note = std::to_string(size) + " " + std::to_string(tail.size());
  if (::fsetxattr(m_fd, kAppendNote, note.data(), note.size(), 0) != 0) return false;
  ssize_t n = -1;
  do {
    n = ::write(m_fd, tail.data(), tail.size());
  } while (n < 0 && errno == EINTR);
  bool ok = n == static_cast<ssize_t>(tail.size());
  // A short write (a full disk) is taken back; when even that fails, the note
  // stays for the next writer.
  if (!ok && n > 0 && ::ftruncate(m_fd, static_cast<off_t>(size)) != 0) return false;
  if (::fremovexattr(m_fd, kAppendNote) != 0 || ::fstat(m_fd, &m_stat) != 0) return false;
  return ok;
}

}  // namespace lirvo
