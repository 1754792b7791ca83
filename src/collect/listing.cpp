#include "collect/listing.h"

#include "collect/rules.h"
#include "collect/run_problems.h"
#include "collect/run_stop.h"
#include "collect/state.h"
#include "collect/stop_signals.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/http_scheduler.h"
#include "services/library_layout.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

namespace {

// A stored page shorter than this holds no list and ends the fetch.
constexpr int kShortPageBytes = 3000;

// Still failing after the scheduler's tries: no answer, or one that asks to be
// asked again. Such a page says nothing about where the category ends.
bool FailedForGood(const HttpResult& answer) {
  return answer.failure != HttpFailure::kNone || !answer.complete || answer.status >= 500 ||
         answer.status == 408 || answer.status == 429;
}

}  // namespace

void FetchListingPages() {
  collect::CollectionState& state = collect::State();
  state.pageCount = TruncateToInt(ToNumber(ui::EditText(mw::编辑框1)));
  const bool completed = CompletedType();
  const ui::Unit urls = completed ? mw::完本网页 : mw::连载网页;
  const Text category = SelectedCategory();
  const Text prefix = ui::ComboItemText(urls, ui::ComboIndex(urls));
  for (long long n = 1; n <= state.pageCount && !state.libraryUnwritable; ++n) {
    const int page = static_cast<int>(n);
    const Text url = prefix + ToText(page) + ".html";
    ui::SetComboText(urls, url);  // the URL list's edit field shows the page being fetched
    const HttpResult answer =
        HttpSubmit({url, HttpKind::kPage, {}, HttpRetry::kTransient}, RunSession()).Wait();
    collect::StopIfRequested();
    if (RunStopRequested()) break;
    const bool failed = FailedForGood(answer);
    if (failed && page > 1) {
      ReportListingPageProblem(page, url, answer);
      break;
    }
    // A first page that brings nothing means the site is out of reach; the
    // run ends with an empty summary as before, but the user learns why.
    if (page == 1 &&
        (!answer.complete || answer.status < 200 || answer.status >= 300 || answer.body.empty()))
      ReportSiteProblem(url, answer);
    ReportGivenUpHosts();
    const Text file = layout::ListingCachePath(category, page);
    if (!WriteInLibrary(file, [&] { return WriteFile(file, answer.body); }) &&
        state.libraryUnwritable)
      break;
    if (failed || FileSize(file) < kShortPageBytes) break;
    ui::Delay(state.responseDelay);
  }
  ui::OpenWindow(ui::Window::CollectPage, ui::Window::Main);
}

}  // namespace lirvo::collect
