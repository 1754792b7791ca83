// The browse window at scale: one category folder of 50 000 archives (and of
// 1 000 and 10 000), listed by the file box and read into the title pool, as
// a switch of side or category does. Times the listing, the rebuild of the
// title pool and both together, on the off-screen platform.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "library/category_lists.h"
#include "services/files.h"
#include "services/gbk.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace {

namespace bw = lirvo::ui::browse_win;

// Folders of their own under the temporary folder, removed at exit; or,
// with LIRVO_LISTING_FOLDER set, under that folder, kept and used again (so
// that a profile of the listing leaves out making 50 000 files).
class BenchFolders {
 public:
  BenchFolders() {
    if (const char* kept = std::getenv("LIRVO_LISTING_FOLDER")) {
      m_root = kept;
      m_keep = true;
      std::filesystem::create_directories(m_root);
      return;
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lirvo-listing-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    m_root = pattern;
  }
  ~BenchFolders() {
    std::error_code ignored;
    if (!m_keep) std::filesystem::remove_all(m_root, ignored);
  }
  // A folder of `count` archives, made once.
  const std::string& Archives(int count) {
    auto found = m_folders.find(count);
    if (found != m_folders.end()) return found->second;
    const std::string folder = m_root + "/" + std::to_string(count);
    if (std::filesystem::create_directory(folder)) {
      for (int i = 0; i < count; ++i) std::ofstream(folder + "/" + Name(i));
    }
    return m_folders[count] = folder;
  }

 private:
  // Titles as sites name them: mostly Chinese, some with digits or Latin
  // letters inside, every one different.
  static std::string Name(int i) {
    static const char* const kWords[] = {"斗破", "苍穹", "武动", "乾坤", "凡人", "修仙", "传",
                                         "神墓", "遮天", "完美", "世界", "星辰", "变",   "龙",
                                         "天下", "江山", "美人", "都市", "仙尊", "帝"};
    std::string name;
    unsigned v = static_cast<unsigned>(i) * 2654435761u;
    for (int k = 0; k < 3; ++k, v /= 20) name += kWords[v % 20];
    switch (i % 4) {
      case 0:
        return name + std::to_string(i) + ".rar";
      case 1:
        return "Ab" + std::to_string(i) + name + ".rar";
      case 2:
        return name + "之" + std::to_string(i) + "III.rar";
      default:
        return std::to_string(i) + name + ".rar";
    }
  }

  std::string m_root;
  bool m_keep = false;
  std::map<int, std::string> m_folders;
};

BenchFolders& Folders() {
  static BenchFolders folders;
  return folders;
}

lirvo::Text FolderText(int count) {
  return lirvo::Utf8ToGbk(Folders().Archives(count));
}

void BM_ListFolder(benchmark::State& state) {
  const lirvo::Text folder = FolderText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    lirvo::ui::SetFileBoxFolder(bw::文件框1, folder);
  }
}

void BM_RebuildTitlePool(benchmark::State& state) {
  const lirvo::Text folder = FolderText(static_cast<int>(state.range(0)));
  lirvo::ui::SetFileBoxFolder(bw::文件框1, folder);
  for (auto _ : state) {
    lirvo::library::RebuildTitlePool();
  }
  if (lirvo::ui::ListItemCount(bw::列表框1) != state.range(0))
    state.SkipWithError("the pool misses titles");
}

// What the folder switch costs beyond its wait: both together.
void BM_ListFolderAndRebuildPool(benchmark::State& state) {
  const lirvo::Text folder = FolderText(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    lirvo::ui::SetFileBoxFolder(bw::文件框1, folder);
    lirvo::library::RebuildTitlePool();
  }
}

BENCHMARK(BM_ListFolder)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildTitlePool)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListFolderAndRebuildPool)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);
  lirvo::ui::Initialize();
  if (!lirvo::ui::OpenWindow(lirvo::ui::Window::Browse)) return 1;
  lirvo::ui::ProcessPendingEvents();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
