// The novel index at scale: one section "小说" with a key per title whose value
// is the archive's path, as a collection run writes it. Times writes of one
// title (a changed value: the whole file is written anew, synced to the disk
// and put in place by a rename; a new title: its line is appended) and
// lookups of one title, with 1 000, 10 000 and 100 000 titles in the index.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "services/files.h"
#include "services/gbk.h"
#include "services/profile.h"

namespace {

using lirvo::Text;
using namespace lirvo::literals;

// A folder of its own under the temporary folder, removed at exit.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lirvo-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    m_path = pattern;
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

const BenchFolder& Folder() {
  static const BenchFolder folder;
  return folder;
}

Text Title(int i) {
  return "第"_gbk + std::to_string(i) + "部玄幻长篇小说"_gbk;
}

Text ArchivePath(const Text& title) {
  return "\\home\\reader\\lirvo\\小说\\完本\\玄幻小说\\"_gbk + title + ".rar";
}

// Writes an index of `titles` titles straight to disk, as many runs would
// have left it, and returns its path (program form).
Text MakeIndex(int titles) {
  const Text path = Folder().Path() + "/index-" + std::to_string(titles) + ".ini";
  Text content = "[小说]\r\n"_gbk;
  for (int i = 0; i < titles; ++i) {
    const Text title = Title(i);
    content += title + "=" + ArchivePath(title) + "\r\n";
  }
  if (!lirvo::WriteFile(path, content)) std::abort();
  return path;
}

void BM_WriteProfile(benchmark::State& state) {
  const int titles = static_cast<int>(state.range(0));
  const Text index = MakeIndex(titles);
  const Text section = "小说"_gbk;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> pick(0, titles - 1);
  lirvo::ReadProfile(index, section, Title(0));  // a run has read the index before it writes
  int round = 0;
  for (auto _ : state) {
    // A title collected again: its line gets a new value, the file is rewritten.
    const Text title = Title(pick(random));
    const bool ok =
        lirvo::WriteProfile(index, section, title, ArchivePath(title) + (++round % 2 ? "" : " "));
    if (!ok) state.SkipWithError("WriteProfile failed");
  }
  state.counters["file_MB"] = static_cast<double>(lirvo::FileSize(index)) / 1e6;
}

void BM_WriteProfileNewTitle(benchmark::State& state) {
  const int titles = static_cast<int>(state.range(0));
  const Text index = MakeIndex(titles);
  const Text section = "小说"_gbk;
  lirvo::ReadProfile(index, section, Title(0));
  int next = titles;
  for (auto _ : state) {
    const Text title = Title(next++);
    if (!lirvo::WriteProfile(index, section, title, ArchivePath(title)))
      state.SkipWithError("WriteProfile failed");
  }
}

void BM_ReadProfile(benchmark::State& state) {
  const int titles = static_cast<int>(state.range(0));
  const Text index = MakeIndex(titles);
  const Text section = "小说"_gbk;
  std::mt19937 random(11);
  std::uniform_int_distribution<int> pick(0, titles - 1);
  for (auto _ : state) {
    const Text value = lirvo::ReadProfile(index, section, Title(pick(random)));
    benchmark::DoNotOptimize(value);
    if (value.empty()) state.SkipWithError("title not found");
  }
}

// The first lookup after another program changed the file: it is read and
// parsed again.
void BM_ReadProfileAfterOutsideChange(benchmark::State& state) {
  const int titles = static_cast<int>(state.range(0));
  const Text index = MakeIndex(titles);
  const Text section = "小说"_gbk;
  const Text content = lirvo::ToText(lirvo::ReadFile(index));
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Same content, new file: the change shows in the file's identity.
    lirvo::WriteFile(index + ".new", content + (++round % 2 ? "" : "\r\n"));
    std::rename((index + ".new").c_str(), index.c_str());
    state.ResumeTiming();
    const Text value = lirvo::ReadProfile(index, section, Title(titles / 2));
    benchmark::DoNotOptimize(value);
    if (value.empty()) state.SkipWithError("title not found");
  }
}

BENCHMARK(BM_WriteProfile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteProfileNewTitle)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProfile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadProfileAfterOutsideChange)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
