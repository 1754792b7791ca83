// The progress window's text field after one record whose introduction is
// huge: the whole text laid out (a 50 MiB introduction, as a hostile listing
// can send) against the text the record step shows (its first 64 KB). Times
// one SetContent followed by the paint it causes, on the off-screen platform.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "collect/records.h"
#include "services/gbk.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace {

using namespace lirvo::literals;

// An introduction of `bytes` bytes: Chinese sentences with line breaks.
lirvo::Text Introduction(std::size_t bytes) {
  const lirvo::Text sentence = "少年秦天出身寒微，偶得一枚古戒，从此踏上逆天之路。\r\n"_gbk;
  lirvo::Text text;
  text.reserve(bytes + sentence.size());
  while (text.size() < bytes) text += sentence;
  text.resize(bytes - bytes % 2);
  return text;
}

void Show(benchmark::State& state, const lirvo::Text& introduction) {
  const lirvo::collect::Counts counts{3, 2, 0};
  const lirvo::Text text = lirvo::collect::ProgressText(
      "某书"_gbk, "某人"_gbk, "2500", introduction, counts, "已完结的玄幻小说"_gbk);
  for (auto _ : state) {
    lirvo::ui::SetContent(lirvo::ui::progress_win::编辑框1, text);
    lirvo::ui::ProcessPendingEvents();
    state.PauseTiming();
    lirvo::ui::SetContent(lirvo::ui::progress_win::编辑框1, "");
    lirvo::ui::ProcessPendingEvents();
    state.ResumeTiming();
  }
}

void BM_WholeIntroduction(benchmark::State& state) {
  Show(state, Introduction(static_cast<std::size_t>(state.range(0)) << 20));
}

void BM_ShownIntroduction(benchmark::State& state) {
  const lirvo::Text whole = Introduction(static_cast<std::size_t>(state.range(0)) << 20);
  Show(state, lirvo::collect::ShownIntroduction(whole));
}

}  // namespace

// The whole text only up to 4 MiB: past that one layout takes many seconds.
BENCHMARK(BM_WholeIntroduction)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ShownIntroduction)->Arg(1)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  lirvo::ui::Initialize();
  if (!lirvo::ui::OpenWindow(lirvo::ui::Window::Progress)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
