#include "services/append_file.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace lirvo {

AppendFile::~AppendFile() {
  if (m_fd >= 0) ::close(m_fd);
}

AppendFile::Result AppendFile::Open(const std::string& native) {
  const int fd = ::open(native.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Result::kMissing : Result::kFailed;
  if (::fstat(fd, &m_stat) != 0 || !S_ISREG(m_stat.st_mode)) {
    const int error = S_ISDIR(m_stat.st_mode) ? EISDIR : errno;
    ::close(fd);
    errno = error;
    return Result::kFailed;
  }
  m_fd = fd;
  // Earlier versions kept a note on the index while appending; an old note
  // means nothing now and goes. Most file systems have none to remove.
  ::fremovexattr(fd, "user.lirvo.append");
  return Result::kOpen;
}

bool AppendFile::CutTo(std::size_t size) {
  return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0 && ::fstat(m_fd, &m_stat) == 0;
}

bool AppendFile::Append(std::size_t size, std::string_view tail) {
  if (tail.empty() || static_cast<std::size_t>(m_stat.st_size) != size) return false;
  ssize_t n = -1;
  do {
    n = ::write(m_fd, tail.data(), tail.size());
  } while (n < 0 && errno == EINTR);
  const int error = errno;
  const bool ok = n == static_cast<ssize_t>(tail.size());
  // A short write (a full disk) is taken back; the caller then replaces the
  // whole file, which fails the same way and says why.
  if (!ok && n > 0 && ::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
    errno = error;
    return false;
  }
  if (::fstat(m_fd, &m_stat) != 0) return false;
  errno = error;
  return ok;
}

}  // namespace lirvo
