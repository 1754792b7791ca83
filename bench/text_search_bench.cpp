// FindText over a listing page of about 100 KB, against memmem, which knows
// nothing of two-byte characters and so marks the floor.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "services/gbk.h"
#include "services/text.h"

namespace {

using namespace lirvo::literals;
using lirvo::Text;

// One novel entry as a listing page shows it: mostly markup, a title, an
// author and an introduction in Chinese.
Text Entry(int serial) {
  const Text number = std::to_string(serial);
  return "<li class=\"item\"><a href=\"/txt/"_gbk + number +
         "txt.html\"><img src=\"/dianzishu/UploadPic/2011/"_gbk + number +
         ".jpg\"></a>\r\n<h3><a href=\"/txt/"_gbk + number + "txt.html\">斗破苍穹第"_gbk + number +
         "部</a></h3>\r\n<p class=\"author\">作者：天蚕土豆</p>\r\n"_gbk +
         "<div class=\"intro\">简介：这里是属于斗气的世界，没有花俏艳丽的魔法，有的，"_gbk +
         "仅仅是繁衍到巅峰的斗气！</div></li>\r\n"_gbk;
}

// A page of about 100 KB whose closing marker sits near its end.
Text ListingPage() {
  Text page = "<html><head><title>完本小说</title></head><body><ul class=\"list\">\r\n"_gbk;
  for (int serial = 10000; page.size() < 100 * 1024; ++serial) page += Entry(serial);
  page +=
      "</ul><div class=\"pagelink\"><a href=\"/wanben/2.html\">下一页</a></div></body></html>"_gbk;
  return page;
}

// Page with almost nothing but two-byte characters: every byte is a high byte,
// so each first-byte hit must work out where its character starts.
Text ChinesePage() {
  const Text line = "这里是属于斗气的世界没有花俏艳丽的魔法有的仅仅是繁衍到巅峰的斗气"_gbk;
  Text page;
  while (page.size() < 100 * 1024) page += line;
  page += "简介：完"_gbk;
  return page;
}

const Text& Page() {
  static const Text page = ListingPage();
  return page;
}

const Text& Chinese() {
  static const Text page = ChinesePage();
  return page;
}

// The same walk without the first-byte jump: compare at every character start.
int WalkFind(const Text& text, const Text& sought) {
  for (std::size_t i = 0; i + sought.size() <= text.size();) {
    if (std::memcmp(text.data() + i, sought.data(), sought.size()) == 0) {
      return static_cast<int>(i) + 1;
    }
    i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
  }
  return -1;
}

int MemmemFind(const Text& text, const Text& sought) {
  const void* at = memmem(text.data(), text.size(), sought.data(), sought.size());
  return at ? static_cast<int>(static_cast<const char*>(at) - text.data()) + 1 : -1;
}

const Text kMarker = "<div class=\"pagelink\">";

void BM_FindText_ListingMarker(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lirvo::FindText(Page(), kMarker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_FindText_ListingMarker);

void BM_Memmem_ListingMarker(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(MemmemFind(Page(), kMarker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_Memmem_ListingMarker);

void BM_CharacterWalk_ListingMarker(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(WalkFind(Page(), kMarker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_CharacterWalk_ListingMarker);

// A marker of two-byte characters near the end of the page.
void BM_FindText_ChineseMarker(benchmark::State& state) {
  static const Text marker = "下一页"_gbk;
  for (auto _ : state) benchmark::DoNotOptimize(lirvo::FindText(Page(), marker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_FindText_ChineseMarker);

void BM_Memmem_ChineseMarker(benchmark::State& state) {
  static const Text marker = "下一页"_gbk;
  for (auto _ : state) benchmark::DoNotOptimize(MemmemFind(Page(), marker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_Memmem_ChineseMarker);

void BM_FindText_AllChinesePage(benchmark::State& state) {
  static const Text marker = "简介：完"_gbk;
  for (auto _ : state) benchmark::DoNotOptimize(lirvo::FindText(Chinese(), marker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Chinese().size()));
}
BENCHMARK(BM_FindText_AllChinesePage);

void BM_Memmem_AllChinesePage(benchmark::State& state) {
  static const Text marker = "简介：完"_gbk;
  for (auto _ : state) benchmark::DoNotOptimize(MemmemFind(Chinese(), marker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Chinese().size()));
}
BENCHMARK(BM_Memmem_AllChinesePage);

// The entry cut: every entry head of the page in turn, each search starting
// after the previous match, as the collection engine walks a page.
void BM_FindText_AllEntryHeads(benchmark::State& state) {
  static const Text head = "<li class=\"item\">";
  for (auto _ : state) {
    int count = 0;
    for (int at = lirvo::FindText(Page(), head); at != -1;
         at = lirvo::FindText(Page(), head, at + 1)) {
      ++count;
    }
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_FindText_AllEntryHeads);

void BM_FindTextReverse_ListingMarker(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(lirvo::FindTextReverse(Page(), kMarker));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Page().size()));
}
BENCHMARK(BM_FindTextReverse_ListingMarker);

}  // namespace

BENCHMARK_MAIN();
