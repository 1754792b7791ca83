#include "services/profile_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <vector>

namespace lirvo {
namespace {

constexpr std::size_t kKeptFiles = 8;
// How long after its stamp an edit could still leave the stamp as it was,
// with room for a clock read a little apart from the disk's. FAT counts
// modification times in 2 s and gives whole seconds; a file system whose
// stamps carry a fraction of a second counts hundredths or finer (exFAT
// 10 ms, ext4 and tmpfs the kernel's clock tick).
constexpr std::int64_t kWholeSecondStepNanoseconds = 3'000'000'000;
constexpr std::int64_t kFineStepNanoseconds = 1'000'000'000;
constexpr std::size_t kCompareChunk = 1 << 20;

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
  // Times are counted in steps of the file system, so an edit made within
  // the step of the last one may leave every stamp as it was. Once the clock
  // has passed that step, any later edit shows in the times.
  bool Settled() const {
    const auto nanoseconds = [](const timespec& t) {
      return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const bool fine = modified.tv_nsec != 0 || changed.tv_nsec != 0;
    const std::int64_t step = fine ? kFineStepNanoseconds : kWholeSecondStepNanoseconds;
    return nanoseconds(now) - std::max(nanoseconds(modified), nanoseconds(changed)) > step;
  }
};

struct Entry {
  std::string path;
  Stamp stamp;
  std::shared_ptr<IniDocument> document;
  // The content was compared (or read) after its stamp settled: the stamp
  // alone then proves the file unchanged.
  bool proven = false;
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

void Remember(std::string path, const Stamp& stamp, std::shared_ptr<IniDocument> document,
              bool proven) {
  auto& cache = Cache();
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->path == path) {
      cache.erase(it);
      break;
    }
  }
  cache.insert(cache.begin(), Entry{std::move(path), stamp, std::move(document), proven});
  if (cache.size() > kKeptFiles) cache.pop_back();
}

bool ReadAt(int fd, char* into, std::size_t length, off_t at) {
  std::size_t got = 0;
  while (got < length) {
    const ssize_t n = ::pread(fd, into + got, length - got, at + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The file holds exactly `bytes`; read a piece at a time, so that a large
// index is not held twice.
bool SameContent(int fd, const std::string& bytes) {
  std::vector<char> chunk(std::min(kCompareChunk, bytes.size()));
  for (std::size_t at = 0; at < bytes.size(); at += chunk.size()) {
    const std::size_t length = std::min(chunk.size(), bytes.size() - at);
    if (!ReadAt(fd, chunk.data(), length, static_cast<off_t>(at)) ||
        std::memcmp(chunk.data(), bytes.data() + at, length) != 0)
      return false;
  }
  return true;
}

}  // namespace

ProfileLoad LoadProfile(const std::string& native, std::shared_ptr<IniDocument>& document) {
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ProfileLoad::kMissing : ProfileLoad::kFailed;
  const ProfileLoad result = LoadProfile(fd, native, document, nullptr);
  ::close(fd);
  return result;
}

ProfileLoad LoadProfile(int fd, const std::string& native, std::shared_ptr<IniDocument>& document,
                        bool* unverified) {
  std::string path = Absolute(native);
  struct stat st;
  if (::fstat(fd, &st) != 0) return ProfileLoad::kFailed;
  if (!S_ISREG(st.st_mode)) {
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return ProfileLoad::kFailed;
  }
  if (static_cast<std::size_t>(st.st_size) > IniDocument::kLargest) {
    errno = EFBIG;
    return ProfileLoad::kFailed;
  }
  const Stamp stamp = Stamp::Of(st);
  auto& cache = Cache();
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].path != path) continue;
    Entry& entry = cache[i];
    if (entry.stamp == stamp) {
      bool proven = entry.proven;
      // Once the stamps have settled, one comparison proves the copy for
      // good; before, a caller that only appends may do without it.
      if (!proven && unverified != nullptr && !stamp.Settled()) {
        *unverified = true;
        document = entry.document;
        return ProfileLoad::kLoaded;
      }
      // Settled is asked before the comparison: the content it reads is
      // then what any later edit would have to change the stamp for.
      if (!proven) {
        const bool settled = stamp.Settled();
        if (SameContent(fd, entry.document->Bytes()))
          proven = settled;
        else
          break;
      }
      document = entry.document;
      Remember(path, stamp, document, proven);
      return ProfileLoad::kLoaded;
    }
    break;
  }
  // The old copy goes before the new one is read: a large index is held once.
  DropProfile(path);
  const bool settled = stamp.Settled();
  const auto size = static_cast<std::size_t>(st.st_size);
  std::string bytes;
  // With room for the lines a run adds (see IniDocument::InsertLine).
  bytes.reserve(size + size / 16 + 4096);
  bytes.resize(size);
  std::size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ProfileLoad::kFailed;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  const bool whole = got == size;
  document = std::make_shared<IniDocument>(std::move(bytes));
  if (whole) Remember(path, stamp, document, settled);
  return ProfileLoad::kLoaded;
}

void StoreProfile(const std::string& native, const struct stat& written,
                  std::shared_ptr<IniDocument> document) {
  Remember(Absolute(native), Stamp::Of(written), std::move(document), false);
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
