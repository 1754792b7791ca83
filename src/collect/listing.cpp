#include "collect/listing.h"

#include "app/state.h"
#include "collect/rules.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
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

}  // namespace

void FetchListingPages() {
  app::CollectionState& state = app::State();
  state.pageCount = TruncateToInt(ToNumber(ui::EditText(mw::编辑框1)));
  const bool completed = CompletedType();
  const ui::Unit urls = completed ? mw::完本网页 : mw::连载网页;
  const Text category = SelectedCategory();
  const Text prefix = ui::ComboItemText(urls, ui::ComboIndex(urls));
  for (long long n = 1; n <= state.pageCount; ++n) {
    const int page = static_cast<int>(n);
    const Text url = prefix + ToText(page) + ".html";
    ui::SetComboText(urls, url);  // the URL list's edit field shows the page being fetched
    const Text file = layout::ListingCachePath(category, page);
    WriteFile(file, HttpGet(url));
    if (FileSize(file) < kShortPageBytes) break;
    ui::Delay(state.responseDelay);
  }
  ui::OpenWindow(ui::Window::CollectPage, ui::Window::Main);
}

}  // namespace lirvo::collect
