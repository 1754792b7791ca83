#include "app/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "services/files.h"
#include "services/library_layout.h"
#include "services/native_path.h"

namespace lirvo::app {

namespace {

int g_fd = -1;
std::string g_lockedFile;  // the lock file g_fd holds, as a native path

}  // namespace

RunLockAttempt TakeRunLock() {
  const std::string file = NativePath(layout::RunLockPath());
  if (g_fd >= 0 && g_lockedFile == file) return {};
  ReleaseRunLock();
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return {RunLock::kUnwritable, errno};
  int taken;
  while ((taken = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (taken != 0) {
    const int error = errno;
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

void DeleteCacheUnlessInUse() {
  const bool held = g_fd >= 0;
  const RunLockAttempt attempt = TakeRunLock();
  if (attempt.state == RunLock::kHeldElsewhere) return;
  DeleteFolder(layout::CacheFolder());
  if (!held) ReleaseRunLock();
}

}  // namespace lirvo::app
