#pragma once
// Where everything Lirvo writes lives: the library ("小说"), the cache ("缓存")
// and the saved update program. This is the one place that spells those
// paths; every other module asks here. All paths are full GBK paths built
// with backslashes under LibraryRoot().
#include <vector>

#include "services/text.h"

namespace lirvo::layout {

// The folder that holds "小说", "缓存" and the update program, without a
// trailing separator. The program folder unless another root is set.
Text LibraryRoot();
// Makes `folder` the library root (an installed program keeps its library in
// the user's data folder); the empty text goes back to the program folder.
void SetLibraryRoot(const Text& folder);

// "完本\" or "连载中\" followed by the category name.
Text CategoryPath(bool completed, const Text& category);

Text NovelFolder();                                             // root\小说
Text ArchiveFolder(const Text& categoryPath);                   // root\小说\<kind>\<category>
Text ArchivePath(const Text& categoryPath, const Text& title);  // ...\<title>.rar
Text CoverFolder();                                             // root\小说\jpg
Text CoverPath(const Text& title);                              // root\小说\jpg\<title>.jpg
Text RecordFolder(const Text& categoryPath);                    // root\小说\ini\<kind>\<category>
Text RecordPath(const Text& categoryPath, const Text& title);   // ...\<title>.ini
Text IntroductionPath(const Text& categoryPath, const Text& title);  // ...\<title>简介.ini
Text NovelIndexPath();                                               // root\小说\ini\小说.ini

Text CacheFolder();                                     // root\缓存
Text ListingCachePath(const Text& category, int page);  // root\缓存\<category>\<n>.html
Text DownloadPagePath(const Text& title);               // root\缓存\<title>下载页.html

Text UpdateProgramPath();  // root\Lirvo-更新.exe
// The file a run locks so that one library has one run at a time; it stays
// in place between runs.
Text RunLockPath();  // root\.lirvo-run.lock

// The folders of a run, parents first: the fixed ones, then per category
// index the ongoing and completed archive folders, their record folders and
// both cache folders. The completed list bounds the categories; past the end
// of the ongoing list its names are empty and name existing folders.
std::vector<Text> FolderTree(const std::vector<Text>& completed, const std::vector<Text>& ongoing);

}  // namespace lirvo::layout
