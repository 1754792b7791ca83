// The browse window's match list at 100 000 titles: how long the matching
// data takes to build, its memory, and the time of each keystroke's list.
// With a folder argument it also writes a library of that many novels there
// (index and records) and times reading it back, as the browse window does.
//
//   title_match_bench [titles] [library folder]
#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/library_matches.h"
#include "library/title_matcher.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/profile.h"

namespace {

using namespace lirvo;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

// The machine is shared: the thread's CPU time says what the work costs
// when other processes take turns on the cores.
double CpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::size_t HeapInUse() {
  return mallinfo2().uordblks;
}

// Titles of 3 to 10 characters drawn from 3 500 common characters (the
// CJK block's first ones stand in for them), authors of 2 to 4.
std::vector<library::NovelEntry> MakeNovels(std::size_t count) {
  std::mt19937 random(26);
  std::uniform_int_distribution<int> han(0x4E00, 0x4E00 + 3500);
  auto word = [&](int low, int high) {
    std::string utf8;
    const int length = std::uniform_int_distribution<int>(low, high)(random);
    for (int i = 0; i < length; ++i) {
      const int c = han(random);
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
    return Utf8ToGbk(utf8);
  };
  std::vector<library::NovelEntry> novels;
  novels.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    Text title = i == count / 2 ? "斗罗大陆"_gbk : word(3, 10);
    Text author = i == count / 2 ? "唐家三少"_gbk : word(2, 4);
    Text archive = "/home/user/lirvo\\小说\\完本\\玄幻小说\\"_gbk + title + ".rar";
    novels.push_back({std::move(title), std::move(author), std::move(archive)});
  }
  return novels;
}

void TimeKeystrokes(library::TitleMatcher& matcher) {
  // Each text as it grows key by key (a Chinese character comes whole from
  // the input method).
  const char* typings[] = {"douluodalu", "dldl", "斗罗大陆", "tangjiasanshao",
                           "zhongsheng", "a",    "的"};
  std::vector<double> all;
  for (const char* typing : typings) {
    const std::string utf8 = typing;
    std::vector<double> times;
    std::size_t matches = 0;
    for (std::size_t end = 1; end <= utf8.size(); ++end) {
      if (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) continue;
      const Text typed = Utf8ToGbk(utf8.substr(0, end));
      const double start = CpuMilliseconds();
      matches = matcher.Find(typed, 10).size();
      times.push_back(CpuMilliseconds() - start);
    }
    all.insert(all.end(), times.begin(), times.end());
    std::printf("  %-16s keystrokes %2zu  slowest %6.2f ms CPU  last list %zu rows\n", typing,
                times.size(), *std::max_element(times.begin(), times.end()), matches);
  }
  std::sort(all.begin(), all.end());
  std::printf("  all keystrokes: median %.2f ms CPU, slowest %.2f ms CPU\n", all[all.size() / 2],
              all.back());
}

void WriteLibrary(const std::vector<library::NovelEntry>& novels, const Text& root) {
  layout::SetLibraryRoot(root);
  const Text category = layout::CategoryPath(true, "玄幻小说"_gbk);
  CreateFolder(layout::NovelFolder());
  CreateFolder(root + "\\小说\\ini"_gbk);
  CreateFolder(root + "\\小说\\ini\\完本"_gbk);
  CreateFolder(layout::RecordFolder(category));
  std::string index = "[小说]\r\n"_gbk;
  for (const library::NovelEntry& novel : novels) {
    const Text record = "["_gbk + novel.title + "]\r\n作者="_gbk + novel.author + "\r\n";
    WriteFileWhole(layout::RecordPath(category, novel.title), record);
    index += novel.title + "=" + layout::ArchivePath(category, novel.title) + "\r\n";
  }
  WriteFileWhole(layout::NovelIndexPath(), index);
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  std::vector<library::NovelEntry> novels = MakeNovels(count);

  std::printf("%zu titles\n", count);
  const std::size_t before = HeapInUse();
  auto start = Clock::now();
  double cpu = CpuMilliseconds();
  library::TitleMatcher matcher(novels);
  std::printf("  build: %.0f ms CPU, %.0f ms wall (ICU's transforms made once included)\n",
              CpuMilliseconds() - cpu, Milliseconds(start));
  std::printf("  memory of the matching data: %.1f MB (the entries' texts included)\n",
              static_cast<double>(HeapInUse() - before) / 1e6);
  TimeKeystrokes(matcher);
  {
    // The GUI thread frees the titles-only matcher when it takes the one
    // with authors.
    auto spare = std::make_unique<library::TitleMatcher>(novels);
    cpu = CpuMilliseconds();
    spare.reset();
    std::printf("  freeing a matcher: %.1f ms CPU\n", CpuMilliseconds() - cpu);
  }

  if (argc > 2) {
    const Text root = Utf8ToGbk(argv[2]);
    start = Clock::now();
    WriteLibrary(novels, root);
    std::printf("library written in %.0f ms\n", Milliseconds(start));
    start = Clock::now();
    cpu = CpuMilliseconds();
    const std::size_t heapBefore = HeapInUse();
    std::vector<library::NovelEntry> read = library::ReadIndexEntries();
    library::TitleMatcher titles(read);
    std::printf("  titles ready (index read, matcher built): %.0f ms CPU, %.0f ms wall\n",
                CpuMilliseconds() - cpu, Milliseconds(start));
    start = Clock::now();
    cpu = CpuMilliseconds();
    library::ReadAuthors(read);
    std::printf("  %zu records read: %.0f ms CPU on this thread, %.0f ms wall\n", read.size(),
                CpuMilliseconds() - cpu, Milliseconds(start));
    library::TitleMatcher authors(std::move(read));
    std::printf(
        "  authors ready (records read, matcher built again): %.0f ms CPU on this thread, "
        "%.0f ms wall\n",
        CpuMilliseconds() - cpu, Milliseconds(start));
    std::printf("  both matchers alive, as while the second is handed over: %.1f MB\n",
                static_cast<double>(HeapInUse() - heapBefore) / 1e6);
  }
  return 0;
}
