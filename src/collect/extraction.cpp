#include "collect/extraction.h"

#include "collect/downloads.h"
#include "collect/listing.h"
#include "collect/lookahead.h"
#include "collect/rules.h"
#include "collect/run_stop.h"
#include "collect/state.h"
#include "services/files.h"
#include "services/library_layout.h"
#include "ui/ids.h"
#include "ui/props.h"
#include "ui/window_services.h"

namespace lirvo::collect {

namespace pw = ui::page_win;

namespace {

Text g_currentTitle;

void SetCurrentTitle(const Text& title) {
  g_currentTitle = title;
  ui::SetTitle(pw::窗口, title);
}

}  // namespace

Markers ReadMarkers() {
  Markers m;
  m.listHead = ui::Content(pw::列表头);
  m.listTail = ui::Content(pw::列表尾);
  m.listTailOngoing = ui::Content(pw::列表尾1);
  m.entryHead = ui::Content(pw::小说头);
  m.entryTail = ui::Content(pw::小说尾);
  m.serialTail = ui::Content(pw::序号尾);
  m.titleHead = ui::Content(pw::标题头);
  m.titleTail = ui::Content(pw::标题尾);
  m.authorHead = ui::Content(pw::作者头);
  m.authorTail = ui::Content(pw::作者尾);
  m.introHead = ui::Content(pw::简介头);
  m.coverHead = ui::Content(pw::图片头);
  m.coverTail = ui::Content(pw::图片尾);
  return m;
}

const Text& CurrentTitle() {
  return g_currentTitle;
}

void ProcessEntry(const Text& entry, const Markers& markers) {
  collect::CollectionState& state = collect::State();
  state.categoryPath = CategoryPath();
  state.entrySerial = CutSerial(entry, markers.serialTail);
  SetCurrentTitle(CutTitle(entry, markers.titleHead, markers.titleTail));
  state.entryAuthor = CutAuthor(entry, markers.authorHead, markers.authorTail);
  state.entryIntroduction = CutIntroduction(entry, markers.introHead);
  DownloadStep(entry, markers);
}

void ParseListingPage(int page) {
  const Markers markers = ReadMarkers();
  Text entry;
  while (NextEntryOfPage(page, entry)) {
    ProcessEntry(entry, markers);
    if (CurrentTitle().empty() || collect::State().libraryUnwritable || RunStopRequested()) return;
    ui::Delay(collect::State().responseDelay);
  }
}

}  // namespace lirvo::collect
