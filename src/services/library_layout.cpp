#include "services/library_layout.h"

#include "services/files.h"
#include "services/gbk.h"

namespace lirvo::layout {

using namespace lirvo::literals;

namespace {

Text g_libraryRoot;

}  // namespace

Text LibraryRoot() {
  return g_libraryRoot.empty() ? ProgramFolder() : g_libraryRoot;
}

void SetLibraryRoot(const Text& folder) {
  g_libraryRoot = folder;
}

Text CategoryPath(bool completed, const Text& category) {
  return (completed ? "完本\\"_gbk : "连载中\\"_gbk) + category;
}

Text NovelFolder() {
  return LibraryRoot() + "\\小说"_gbk;
}

Text ArchiveFolder(const Text& categoryPath) {
  return NovelFolder() + "\\" + categoryPath;
}

Text ArchivePath(const Text& categoryPath, const Text& title) {
  return ArchiveFolder(categoryPath) + "\\" + title + ".rar";
}

Text CoverFolder() {
  return NovelFolder() + "\\jpg";
}

Text CoverPath(const Text& title) {
  return CoverFolder() + "\\" + title + ".jpg";
}

Text RecordFolder(const Text& categoryPath) {
  return NovelFolder() + "\\ini\\" + categoryPath;
}

Text RecordPath(const Text& categoryPath, const Text& title) {
  return RecordFolder(categoryPath) + "\\" + title + ".ini";
}

Text IntroductionPath(const Text& categoryPath, const Text& title) {
  return RecordFolder(categoryPath) + "\\" + title + "简介.ini"_gbk;
}

Text NovelIndexPath() {
  return NovelFolder() + "\\ini\\小说.ini"_gbk;
}

Text CacheFolder() {
  return LibraryRoot() + "\\缓存"_gbk;
}

Text ListingCachePath(const Text& category, int page) {
  return CacheFolder() + "\\" + category + "\\" + ToText(page) + ".html";
}

Text DownloadPagePath(const Text& title) {
  return CacheFolder() + "\\" + title + "下载页.html"_gbk;
}

Text UpdateProgramPath() {
  return LibraryRoot() + "\\Lirvo-更新.exe"_gbk;
}

Text RunLockPath() {
  return LibraryRoot() + "\\.lirvo-run.lock";
}

std::vector<Text> FolderTree(const std::vector<Text>& completed, const std::vector<Text>& ongoing) {
  std::vector<Text> folders = {CacheFolder(),
                               NovelFolder(),
                               CoverFolder(),
                               NovelFolder() + "\\ini",
                               ArchiveFolder("连载中"_gbk),
                               ArchiveFolder("完本"_gbk),
                               RecordFolder("完本"_gbk),
                               RecordFolder("连载中"_gbk)};
  for (std::size_t i = 0; i < completed.size(); ++i) {
    const Text ongoingName = i < ongoing.size() ? ongoing[i] : Text();
    folders.push_back(ArchiveFolder(CategoryPath(false, ongoingName)));
    folders.push_back(ArchiveFolder(CategoryPath(true, completed[i])));
    folders.push_back(RecordFolder(CategoryPath(true, completed[i])));
    folders.push_back(RecordFolder(CategoryPath(false, ongoingName)));
    folders.push_back(CacheFolder() + "\\" + completed[i]);
    folders.push_back(CacheFolder() + "\\" + ongoingName);
  }
  return folders;
}

}  // namespace lirvo::layout
