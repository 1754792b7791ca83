#include "services/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// Syncs the folder that holds `path`, so that a rename in it is on the disk.
// A file system that cannot sync a folder answers with an error; the rename
// has happened all the same, so the answer is not looked at.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool DataSync(int fd) {
  int result = -1;
  do {
    result = ::fdatasync(fd);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool Place(const std::string& target, std::string_view bytes) {
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
  // The content is on the disk before the name points at it: otherwise a
  // power loss could leave the old name on an empty or partial file. A file
  // that is new has no old content to keep, and is not synced: a sync waits
  // for the disk behind the archives a run has just written, and one per new
  // record and introduction made a run several times slower.
  if (ok && existed) ok = DataSync(fd);
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = error;
    return false;
  }
  if (existed) SyncFolderOf(target);
  return true;
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
  return Place(target, bytes);
}

}  // namespace lirvo
