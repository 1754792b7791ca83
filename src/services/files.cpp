#include "services/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <map>
#include <new>
#include <vector>

#include "services/folder_reader.h"
#include "services/gbk.h"
#include "services/native_path.h"
#include "services/profile_cache.h"
#include "services/replace_file.h"
#include "services/utf8.h"

namespace lirvo {
namespace {

// Attribute bits as the Windows directory search reports them.
constexpr int kAttrReadOnly = 0x01;
constexpr int kAttrHidden = 0x02;
constexpr int kAttrDirectory = 0x10;
constexpr int kAttrArchive = 0x20;
constexpr int kAttrMask = 0x37;

Text g_programFolder;
bool g_programFolderKnown = false;

// ---- Wildcards -------------------------------------------------------------
// Names are matched by Unicode characters, ignoring the case of ASCII letters
// as the Windows directory search does: "*" takes any run of characters, "?"
// exactly one.

// A byte that is no UTF-8 stands for itself, apart from every character.
std::vector<std::uint32_t> DecodeUtf8(std::string_view s) {
  std::vector<std::uint32_t> out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const Utf8Char c = DecodeUtf8At(s, i);
    out.push_back(c.valid ? c.code : 0x110000 + c.code);
    i += c.length;
  }
  return out;
}

std::uint32_t FoldAscii(std::uint32_t c) {
  return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

bool GlobMatch(const std::vector<std::uint32_t>& pat, const std::vector<std::uint32_t>& name) {
  std::size_t p = 0, n = 0, starP = SIZE_MAX, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() &&
        (pat[p] == '?' || (pat[p] != '*' && FoldAscii(pat[p]) == FoldAscii(name[n])))) {
      ++p;
      ++n;
    } else if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != SIZE_MAX) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

bool HasWildcards(std::string_view name) {
  return name.find_first_of("*?") != std::string_view::npos;
}

// One pattern of the last name part. As on Windows, a trailing ".*" may also
// match nothing, so "*.*" takes names without a dot and "a.*" takes "a".
class NamePattern {
 public:
  explicit NamePattern(std::string_view utf8) : m_full(DecodeUtf8(utf8)) {
    if (utf8.size() >= 2 && utf8.substr(utf8.size() - 2) == ".*") {
      m_short = DecodeUtf8(utf8.substr(0, utf8.size() - 2));
      m_hasShort = true;
    }
  }
  bool matches(std::string_view name) const {
    auto decoded = DecodeUtf8(name);
    return GlobMatch(m_full, decoded) || (m_hasShort && GlobMatch(m_short, decoded));
  }

 private:
  std::vector<std::uint32_t> m_full;
  std::vector<std::uint32_t> m_short;
  bool m_hasShort = false;
};

// ---- Directory searches ------------------------------------------------------

struct FoundEntry {
  std::string name;  // UTF-8, as on disk
  struct stat st {};
  bool complete = true;  // false: st holds the entry's type alone
};

// A native pattern split into its folder and its last name part.
struct SplitPattern {
  explicit SplitPattern(const std::string& native) {
    std::size_t slash = native.rfind('/');
    if (slash == std::string::npos) {
      folder = std::string(1, '.');
      last = native;
    } else {
      folder = slash == 0 ? std::string(1, '/') : native.substr(0, slash);
      last = native.substr(slash + 1);
    }
  }
  std::string folder;
  std::string last;
};

// Data of an entry as a search reports it: a link shows what it points to,
// a dangling link shows itself.
bool StatEntry(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0 || ::lstat(path.c_str(), &st) == 0;
}

bool StatEntryAt(int folder, const std::string& name, struct stat& st) {
  return ::fstatat(folder, name.c_str(), &st, 0) == 0 ||
         ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string JoinNative(const std::string& folder, const std::string& name) {
  if (folder == "/") return "/" + name;
  return folder + "/" + name;
}

// Every entry of the folder that the pattern's last part matches, in byte
// order of the names, so that "first" means the same on every file system.
// With `typesOnly` a plain file or folder keeps the type its listing gives
// and is not looked up: a folder of 50 000 archives is searched twice per
// switch of category, and files-only searches need no more.
std::vector<FoundEntry> Search(const Text& pattern, bool typesOnly = false) {
  std::vector<FoundEntry> found;
  const SplitPattern split(NativePath(pattern));
  const std::string& folder = split.folder;
  const std::string& last = split.last;
  if (last.empty()) return found;
  if (!HasWildcards(last)) {
    FoundEntry entry;
    if (StatEntry(JoinNative(folder, last), entry.st)) {
      entry.name = last;
      found.push_back(std::move(entry));
    }
    return found;
  }
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return found;
  NamePattern matcher(last);
  std::vector<std::pair<std::string, unsigned char>> names;  // name, type
  while (dirent* d = ::readdir(dir)) {
    std::string name = d->d_name;
    if (matcher.matches(name)) names.emplace_back(std::move(name), d->d_type);
  }
  // Names are sorted before their data joins them, and looked up in the open folder.
  std::sort(names.begin(), names.end());
  found.reserve(names.size());
  for (auto& [name, type] : names) {
    FoundEntry entry{std::move(name), {}};
    if (typesOnly && (type == DT_REG || type == DT_DIR)) {
      entry.st.st_mode = type == DT_DIR ? S_IFDIR : S_IFREG;
      entry.complete = false;
      found.push_back(std::move(entry));
    } else if (StatEntryAt(::dirfd(dir), entry.name, entry.st)) {
      found.push_back(std::move(entry));
    }
  }
  ::closedir(dir);
  return found;
}

// POSIX has no attribute bits; they are made up from what it has: the
// program's own temporary files are hidden (any other name beginning with "."
// is an ordinary one, as on Windows), a folder has the folder bit, a file no
// one may write is read-only, and every file has the archive bit that Windows
// gives new files. Nothing is ever "system".
int AttributesOf(const FoundEntry& entry) {
  int attributes = 0;
  if (IsTemporaryName(entry.name)) attributes |= kAttrHidden;
  if (S_ISDIR(entry.st.st_mode)) {
    attributes |= kAttrDirectory;
  } else {
    attributes |= kAttrArchive;
    if (IsReadOnlyFile(entry.st)) attributes |= kAttrReadOnly;
  }
  return attributes;
}

// A folder reports 0; a file the low 32 bits of its size.
int ReportedSize(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return 0;
  return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(st.st_size)));
}

struct OpenSearch {
  std::vector<FoundEntry> entries;
  std::size_t next = 0;
  std::string folder;  // native, for the data of entries found without it
};

std::map<int, OpenSearch>& Searches() {
  static std::map<int, OpenSearch> searches;
  return searches;
}
int g_nextSearch = 1;

// ---- Open files ------------------------------------------------------------

std::map<int, int>& OpenFiles() {
  static std::map<int, int> files;  // file number -> descriptor
  return files;
}
int g_nextFileNumber = 1;

template <typename T>
int NextNumber(int& counter, const std::map<int, T>& used) {
  for (;;) {
    int number = counter;
    counter = counter == INT_MAX ? 1 : counter + 1;
    if (used.find(number) == used.end()) return number;
  }
}

// Reads up to `wanted` bytes; a short read returns what was read.
// A profile parsed earlier must not outlive a change made in place, which the
// coarse file times may not show.
void ForgetChangedProfile(int fd) {
  struct stat st;
  if (::fstat(fd, &st) == 0) ForgetProfileContent(st.st_dev, st.st_ino);
}

// ---- Folder removal ----------------------------------------------------------

// Empties the folder open at `fd`, never leaving it: a link is removed as a
// link. Names beginning with "." stay, and so do read-only files.
void EmptyFolder(int fd) {
  int listFd = ::dup(fd);
  if (listFd < 0) return;
  DIR* dir = ::fdopendir(listFd);
  if (dir == nullptr) {
    ::close(listFd);
    return;
  }
  std::vector<std::string> names;
  while (dirent* d = ::readdir(dir)) {
    if (d->d_name[0] != '.') names.emplace_back(d->d_name);
  }
  ::closedir(dir);
  for (const auto& name : names) {
    struct stat st;
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        EmptyFolder(sub);
        ::close(sub);
      }
      ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    } else if (!IsReadOnlyFile(st)) {
      ::unlinkat(fd, name.c_str(), 0);
    }
  }
}

std::string WithoutTrailingSlashes(std::string native) {
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

bool IsFileSystemRoot(const std::string& native) {
  if (native == "/") return true;
  char resolved[PATH_MAX];
  return ::realpath(native.c_str(), resolved) != nullptr && std::string_view(resolved) == "/";
}

}  // namespace

// ---- Program folder ------------------------------------------------------------

Text ProgramFolder() {
  if (!g_programFolderKnown) {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    std::size_t slash = exe.rfind('/');
    g_programFolder = Utf8ToGbk(slash == std::string::npos ? std::string() : exe.substr(0, slash));
    g_programFolderKnown = true;
  }
  return g_programFolder;
}

void InitProgramFolder() {
  g_programFolderKnown = false;
  Text folder = ProgramFolder();
  std::string native = NativePath(folder);
  if (::chdir(native.empty() ? "/" : native.c_str()) != 0) {
    // Relative paths then stay relative to where the program was started.
  }
}

void SetProgramFolderForTest(const Text& folder) {
  g_programFolder = folder;
  g_programFolderKnown = true;
  std::string native = NativePath(folder);
  if (::chdir(native.empty() ? "/" : native.c_str()) != 0) {
    // A test that names a missing folder sees the failure in its own checks.
  }
}

// ---- Folders -----------------------------------------------------------------

bool CreateFolder(const Text& path) {
  if (path.empty()) return false;
  return ::mkdir(NativePath(path).c_str(), 0777) == 0;
}

bool DeleteFolder(const Text& path) {
  std::size_t start = path.find_first_not_of(' ');
  if (start == Text::npos) return false;
  Text trimmed = path.substr(start);
  if (IsDriveRoot(trimmed)) return false;
  std::string native = WithoutTrailingSlashes(NativePath(trimmed));
  if (native.empty() || IsFileSystemRoot(native)) return false;
  // The folder itself must be a real folder: a link to one is never entered.
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  struct stat root;
  if (::stat("/", &root) == 0 && root.st_dev == st.st_dev && root.st_ino == st.st_ino) return false;
  int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    EmptyFolder(fd);
    ::close(fd);
  }
  return ::rmdir(native.c_str()) == 0;
}

// ---- Whole files -----------------------------------------------------------------

int FileSize(const Text& path) {
  if (path.empty()) return -1;
  std::vector<FoundEntry> found = Search(path);
  if (found.empty()) return -1;
  return ReportedSize(found.front().st);
}

int ExactFileSize(const Text& path) {
  if (path.empty()) return -1;
  const std::string native = NativePath(path);
  struct stat st;
  if (native.empty() || native.back() == '/' || !StatEntry(native, st)) return -1;
  return ReportedSize(st);
}

Bytes ReadFile(const Text& path) {
  return FolderReader().Read(path);
}

bool WriteFile(const Text& path, std::initializer_list<std::string_view> parts) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  if (ExistsReadOnly(native)) return false;
  int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ForgetChangedProfile(fd);
  bool ok = true;
  for (std::string_view part : parts) {
    if (!WriteAll(fd, part)) {
      ok = false;
      break;
    }
  }
  if (::close(fd) != 0) ok = false;
  return ok;
}

bool WriteFileWhole(const Text& path, std::string_view data) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  if (ExistsReadOnly(native)) return false;
  std::string target;
  if (!ResolveReplaceTarget(native, target)) return false;
  // Every run writes each introduction again; the same bytes cost no sync.
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<std::size_t>(st.st_size) == data.size()) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      const Bytes old = ReadUpTo(fd, data.size());
      ::close(fd);
      if (old == data) return true;
    }
  }
  return ReplaceFileContent(target, data);
}

bool MoveFileOver(const Text& from, const Text& to) {
  if (from.empty() || to.empty()) return false;
  std::string target = NativePath(to);
  if (ExistsReadOnly(target)) return false;
  return ::rename(NativePath(from).c_str(), target.c_str()) == 0;
}

bool DeleteFile(const Text& path) {
  if (path.empty()) return false;
  std::string native = NativePath(path);
  struct stat st;
  if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) return false;
  return ::unlink(native.c_str()) == 0;
}

Text TemporaryFileIn(const Text& folder) {
  return folder + "\\" + NewTemporaryName();
}

bool IsTemporaryFileName(const Text& name) {
  return IsTemporaryName(name);
}

// ---- Open files ------------------------------------------------------------------

int OpenFile(const Text& path, int mode, int sharing) {
  if (path.empty() || mode < 1 || mode > 6 || sharing < 1 || sharing > 4) return 0;
  // POSIX has no share modes; the sharing value is only checked.
  static constexpr int kFlags[] = {
      O_RDONLY,                      // 1 read
      O_WRONLY,                      // 2 write
      O_RDWR,                        // 3 read and write
      O_WRONLY | O_CREAT | O_TRUNC,  // 4 create or truncate
      O_WRONLY | O_CREAT,            // 5 write, create if missing
      O_RDWR | O_CREAT,              // 6 read and write, create if missing
  };
  std::string native = NativePath(path);
  if (mode != 1 && ExistsReadOnly(native)) return 0;
  int fd = ::open(native.c_str(), kFlags[mode - 1] | O_CLOEXEC, 0666);
  if (fd < 0) return 0;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return 0;
  }
  if (mode != 1) ForgetChangedProfile(fd);
  int number = NextNumber(g_nextFileNumber, OpenFiles());
  OpenFiles()[number] = fd;
  return number;
}

Text ReadTextFromFile(int fileNumber, std::optional<int> length) {
  auto it = OpenFiles().find(fileNumber);
  if (it == OpenFiles().end() || (length && *length <= 0)) return {};
  int fd = it->second;
  struct stat st;
  if (::fstat(fd, &st) != 0) return {};
  off_t start = ::lseek(fd, 0, SEEK_CUR);
  if (start < 0) return {};
  std::uint64_t wanted =
      length ? static_cast<std::uint64_t>(*length) : static_cast<std::uint64_t>(st.st_size);
  // Nothing lies past the end, so the buffer never needs to be larger.
  std::uint64_t remaining = st.st_size > start ? static_cast<std::uint64_t>(st.st_size - start) : 0;
  std::string bytes;
  try {
    bytes = ReadUpTo(fd, static_cast<std::size_t>(std::min(wanted, remaining)));
  } catch (const std::bad_alloc&) {
    ::lseek(fd, 0, SEEK_END);
    return {};
  }
  // The text ends at the first 0 or 0x1A that is a character of its own; a
  // lead byte directly before a 0 is dropped with it.
  std::size_t i = 0;
  while (i < bytes.size()) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b == 0 || b == 0x1A) {
      ::lseek(fd, start + static_cast<off_t>(i), SEEK_SET);
      bytes.resize(i);
      return bytes;
    }
    if (b >= 0x80 && i + 1 < bytes.size()) {
      if (bytes[i + 1] == '\0') {
        ::lseek(fd, start + static_cast<off_t>(i + 1), SEEK_SET);
        bytes.resize(i);
        return bytes;
      }
      i += 2;
    } else {
      ++i;
    }
  }
  return bytes;
}

void CloseFile(int fileNumber) {
  auto it = OpenFiles().find(fileNumber);
  if (it == OpenFiles().end()) return;
  ::close(it->second);
  OpenFiles().erase(it);
}

// ---- Directory searches -----------------------------------------------------------

Text FindFile(const Text& pattern, int attributeFilter, int filesOnly, int& state) {
  auto& searches = Searches();
  if (!pattern.empty()) {
    FindFileClose(state);
    state = 0;
    std::vector<FoundEntry> found = Search(pattern, filesOnly != 0);
    if (found.empty()) return {};
    int handle = NextNumber(g_nextSearch, searches);
    searches[handle] = OpenSearch{std::move(found), 0, SplitPattern(NativePath(pattern)).folder};
    state = handle;
  }
  auto it = searches.find(state);
  if (it == searches.end()) {
    state = 0;  // no search, or one already closed
    return {};
  }
  OpenSearch& search = it->second;
  const int filter = attributeFilter & kAttrMask;
  while (search.next < search.entries.size()) {
    FoundEntry& entry = search.entries[search.next++];
    if (filesOnly == 0 && !entry.complete) {
      if (!StatEntry(JoinNative(search.folder, entry.name), entry.st)) continue;
      entry.complete = true;
    }
    int attributes = AttributesOf(entry);
    bool passes = filesOnly != 0 ? (attributes & kAttrDirectory) == 0
                  : filter == 0  ? (attributes & kAttrMask) == 0
                                 : (attributes & filter) != 0;
    if (passes) return TextFromNativeName(entry.name);
  }
  searches.erase(it);
  state = 0;
  return {};
}

void FindFileClose(int state) {
  if (state != 0) Searches().erase(state);
}

}  // namespace lirvo
