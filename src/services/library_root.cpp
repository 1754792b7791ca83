#include "services/library_root.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/native_path.h"

namespace lirvo::layout {

using namespace lirvo::literals;

namespace {

bool g_installed = false;

std::string HomeFolder(const char* home) {
  if (home != nullptr && home[0] != '\0') return home;
  // A session without HOME (a service, "env -i") still has a passwd entry.
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

// mkdir -p: the XDG rules ask for new data folders to be private (0700).
bool MakeFolders(const std::string& folder, int& error) {
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string level = folder.substr(0, end);
    if (!level.empty() && ::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      error = errno;
      return false;
    }
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = ENOTDIR;
    return false;
  }
  return true;
}

Text Reason(int error) {
  return Utf8ToGbk(std::strerror(error));
}

}  // namespace

Copy CopyOf(const std::string& programFolder) {
  const std::string marker = programFolder + "/" + kPortableMarker;
  return ::access(marker.c_str(), F_OK) == 0 ? Copy::Portable : Copy::Installed;
}

std::string LibraryRootFor(Copy copy, const std::string& programFolder, const char* xdgDataHome,
                           const char* home) {
  if (copy == Copy::Portable) return programFolder;
  if (xdgDataHome != nullptr && xdgDataHome[0] == '/') return std::string(xdgDataHome) + "/lirvo";
  const std::string folder = HomeFolder(home);
  return folder.empty() ? std::string() : folder + "/.local/share/lirvo";
}

Text ChooseLibraryRoot() {
  const std::string programFolder = NativePath(ProgramFolder());
  const Copy copy = CopyOf(programFolder);
  g_installed = copy == Copy::Installed;
  const std::string root =
      LibraryRootFor(copy, programFolder, std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
  if (root.empty()) return "找不到用户的主文件夹，无法建立书库文件夹。"_gbk;

  const Text text = Utf8ToGbk(root);
  // The library's paths are GBK texts with backslashes: a folder name that
  // does not come back the same from that form would send writes elsewhere.
  if (NativePath(text) != root) return "书库文件夹的路径含有本程序不能处理的字符：\r\n"_gbk + text;

  int error = 0;
  if (copy == Copy::Installed && !MakeFolders(root, error)) {
    return "无法建立书库文件夹："_gbk + text + "\r\n" + Reason(error);
  }
  if (::access(root.c_str(), W_OK | X_OK) != 0) {
    error = errno;
    return "书库文件夹不能写入："_gbk + text + "\r\n" + Reason(error);
  }
  SetLibraryRoot(text);
  return {};
}

bool RunsInstalled() {
  return g_installed;
}

void SetRunsInstalledForTest(bool installed) {
  g_installed = installed;
}

}  // namespace lirvo::layout
