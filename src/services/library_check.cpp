#include "services/library_check.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>
#include <string_view>

#include "services/native_path.h"
#include "services/replace_file.h"

namespace lirvo {
namespace {

// Where names are tried out; whatever is in it is left from a killed run.
constexpr const char* kNameChecks = ".lirvo-names";

// True when `native` could be made, or already exists; `error` gets the
// refusal otherwise.
bool CanMake(const std::string& native, int& error) {
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
    return error == EEXIST;
  }
  ::close(fd);
  ::unlink(native.c_str());
  return true;
}

// The process that made a temporary file, as its name tells; 0 for the fixed
// name of earlier versions.
long MakerOf(std::string_view name) {
  constexpr std::string_view prefix = ".lirvo-";
  if (!name.starts_with(prefix)) return 0;
  name.remove_prefix(prefix.size());
  long pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  return error == std::errc() && end != name.data() ? pid : 0;
}

int RemoveUnder(int folder, bool all) {
  const int listFd = ::dup(folder);
  if (listFd < 0) return 0;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return 0;
  }
  int removed = 0;
  std::vector<std::string> subfolders;
  while (dirent* d = ::readdir(dir)) {
    const std::string_view name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(folder, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      subfolders.emplace_back(name);
    } else if (S_ISREG(st.st_mode) &&
               (all || (IsTemporaryName(name) && MakerOf(name) != ::getpid())) &&
               ::unlinkat(folder, d->d_name, 0) == 0) {
      ++removed;
    }
  }
  ::closedir(dir);
  for (const std::string& name : subfolders) {
    const int sub = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) continue;
    removed += RemoveUnder(sub, all || name == kNameChecks);
    ::close(sub);
  }
  return removed;
}

}  // namespace

bool FileSystemAcceptsName(const Text& library, const Text& name) {
  const std::string folder = NativePath(library) + "/" + kNameChecks;
  if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return true;
  int error = 0;
  if (CanMake(folder + "/" + NativeName(name), error)) return true;
  int plainError = 0;
  return !CanMake(folder + "/" + NewTemporaryName(), plainError);
}

int FolderError(const Text& folder) {
  const std::string native = NativePath(folder);
  struct stat st;
  if (::stat(native.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  if (::mkdir(native.c_str(), 0777) == 0) return 0;
  const int error = errno;
  if (error == EEXIST) return ENOTDIR;  // a link that leads nowhere
  // Refused by name only if a plain name can be made in the same place.
  const std::size_t slash = native.find_last_of('/');
  const std::string plain =
      (slash == std::string::npos ? std::string(".") : native.substr(0, slash)) + "/" +
      NewTemporaryName();
  if (::mkdir(plain.c_str(), 0777) != 0) return error;
  ::rmdir(plain.c_str());
  return EILSEQ;
}

std::optional<Obstacle> FindObstacle(const std::vector<Text>& folders,
                                     const std::vector<Text>& files) {
  for (const Text& folder : folders) {
    if (const int error = FolderError(folder); error != 0) return Obstacle{folder, error};
  }
  struct stat st;
  for (const Text& file : files) {
    if (::stat(NativePath(file).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      return Obstacle{file, EISDIR};
  }
  return std::nullopt;
}

int ProfileReadError(const Text& path) {
  const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  struct stat st;
  const int error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  ::close(fd);
  return error;
}

bool IsStoredFile(const Text& path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

int RemoveStaleTemporaries(const Text& folder) {
  const int fd =
      ::open(NativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  const int removed = RemoveUnder(fd, false);
  ::close(fd);
  return removed;
}

}  // namespace lirvo
