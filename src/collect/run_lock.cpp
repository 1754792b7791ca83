#include "collect/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "services/files.h"
#include "services/library_layout.h"
#include "services/native_path.h"

namespace lirvo::collect {

namespace {

int g_fd = -1;
std::string g_lockedFile;  // the lock file g_fd holds, as a native path
int g_lockErrorForTest = 0;

// 0, or the errno of a lock that could not be had (EWOULDBLOCK: held elsewhere).
int TryLock(int fd) {
  if (g_lockErrorForTest != 0) return g_lockErrorForTest;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

}  // namespace

RunLockAttempt TakeRunLock() {
  const std::string file = NativePath(layout::RunLockPath());
  if (g_fd >= 0 && g_lockedFile == file) return {};
  ReleaseRunLock();
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return {RunLock::kUnwritable, errno};
  if (const int error = TryLock(fd); error != 0) {
    ::close(fd);
    return {error == EWOULDBLOCK ? RunLock::kHeldElsewhere : RunLock::kUnwritable, error};
  }
  g_fd = fd;
  g_lockedFile = file;
  return {};
}

void ReleaseRunLock() {
  if (g_fd < 0) return;
  ::close(g_fd);  // closing the only descriptor drops the flock
  g_fd = -1;
  g_lockedFile.clear();
}

void SetLockErrorForTest(int error) {
  g_lockErrorForTest = error;
}

void DeleteCacheUnlessInUse() {
  const std::string file = NativePath(layout::RunLockPath());
  if (g_fd < 0 || g_lockedFile != file) {
    // Only looked at, never made: a program that only browsed leaves no lock file.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      if (TryLock(fd) != EWOULDBLOCK) DeleteFolder(layout::CacheFolder());
      ::close(fd);
      return;
    }
  }
  DeleteFolder(layout::CacheFolder());
}

}  // namespace lirvo::collect
