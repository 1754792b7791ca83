#include "services/profile_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace lirvo {
namespace {

constexpr std::size_t kKeptFiles = 8;

struct Stamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static Stamp Of(const struct stat& st) {
    return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const Stamp& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

struct Entry {
  std::string path;
  Stamp stamp;
  std::shared_ptr<IniDocument> document;
};

// Most recently used first.
std::vector<Entry>& Cache() {
  static std::vector<Entry> cache;
  return cache;
}

// The cache is keyed by absolute path, so a change of the current directory
// cannot mix two files up.
std::string Absolute(const std::string& native) {
  if (!native.empty() && native[0] == '/') return native;
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return native;
  return std::string(buffer) + "/" + native;
}

void Remember(std::string path, const Stamp& stamp, std::shared_ptr<IniDocument> document) {
  auto& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->path == path) {
      cache.erase(it);
      break;
    }
  }
  cache.insert(cache.begin(), Entry{std::move(path), stamp, std::move(document)});
  if (cache.size() > kKeptFiles) cache.pop_back();
}

}  // namespace

ProfileLoad LoadProfile(const std::string& native, std::shared_ptr<IniDocument>& document) {
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ProfileLoad::kMissing : ProfileLoad::kFailed;
  const ProfileLoad result = LoadProfile(fd, native, document);
  ::close(fd);
  return result;
}

ProfileLoad LoadProfile(int fd, const std::string& native, std::shared_ptr<IniDocument>& document) {
  std::string path = Absolute(native);
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ProfileLoad::kFailed;
  Stamp stamp = Stamp::Of(st);
  auto& cache = Cache();
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].path == path && cache[i].stamp == stamp) {
      document = cache[i].document;
      if (i != 0) Remember(path, stamp, document);
      return ProfileLoad::kLoaded;
    }
  }
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ProfileLoad::kFailed;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  const bool whole = got == static_cast<std::size_t>(st.st_size);
  document = std::make_shared<IniDocument>(std::move(bytes));
  if (whole) Remember(path, stamp, document);
  return ProfileLoad::kLoaded;
}

void StoreProfile(const std::string& native, const struct stat& written,
                  std::shared_ptr<IniDocument> document) {
  Remember(Absolute(native), Stamp::Of(written), std::move(document));
}

void DropProfile(const std::string& native) {
  auto& cache = Cache();
  std::string path = Absolute(native);
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->path == path) {
      cache.erase(it);
      return;
    }
  }
}

void ForgetProfileContent(dev_t device, ino_t inode) {
  auto& cache = Cache();
  std::erase_if(cache,
                [&](const Entry& e) { return e.stamp.device == device && e.stamp.inode == inode; });
}

}  // namespace lirvo
