// Arbitrary bytes as a listing page, walked and cut as a collection run does:
// the list, up to 20 entries, the fields of each, the final serial and the
// title check. Odd first bytes take short marker texts from the input as
// well, so that the cuts meet their markers often. Checked:
// - the walk hands over between 1 and 20 entries and says how many;
// - every entry is a piece of the page, every field a piece of its entry;
// - a title that passes the check names one file inside its folder.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "collect/cuts.h"
#include "services/native_path.h"
#include "ui/templates/site_rules.h"

namespace {

using lirvo::Text;
using namespace lirvo::collect;

Markers SiteMarkers() {
  namespace pw = lirvo::ui::page_win;
  using lirvo::ui::rules::MarkerText;
  return Markers{MarkerText(pw::列表头), MarkerText(pw::列表尾), MarkerText(pw::列表尾1),
                 MarkerText(pw::小说头), MarkerText(pw::小说尾), MarkerText(pw::序号尾),
                 MarkerText(pw::标题头), MarkerText(pw::标题尾), MarkerText(pw::作者头),
                 MarkerText(pw::作者尾), MarkerText(pw::简介头), MarkerText(pw::图片头),
                 MarkerText(pw::图片尾)};
}

Markers ShortMarkers(FuzzedDataProvider& in) {
  Markers m;
  for (Text* t : {&m.listHead, &m.listTail, &m.listTailOngoing, &m.entryHead, &m.entryTail,
                  &m.serialTail, &m.titleHead, &m.titleTail, &m.authorHead, &m.authorTail,
                  &m.introHead, &m.coverHead, &m.coverTail}) {
    *t = in.ConsumeRandomLengthString(4);
  }
  return m;
}

[[noreturn]] void Fail(const char* what, const Text& piece) {
  std::fprintf(stderr, "%s: \"%s\"\n", what, piece.c_str());
  std::abort();
}

void ExpectPiece(const Text& piece, const Text& whole, const char* what) {
  if (whole.find(piece) == Text::npos) Fail(what, piece);
}

// The title joined to a folder as the download step joins it must add
// exactly one name, and not "." or "..".
void ExpectOneName(const Text& title, const char* suffix) {
  const Text folder = "lib\\cat";
  const std::string base = lirvo::NativePath(folder);
  const std::string path = lirvo::NativePath(folder + "\\" + title + suffix);
  if (path.compare(0, base.size() + 1, base + "/") != 0) Fail("title left the folder", title);
  const std::string name = path.substr(base.size() + 1);
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
    Fail("title is not one file name", title);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Markers kSite = SiteMarkers();
  FuzzedDataProvider in(data, size);
  const std::uint8_t mode = in.ConsumeIntegral<std::uint8_t>();
  const Markers markers = (mode & 1) ? ShortMarkers(in) : kSite;
  const bool completed = (mode & 2) != 0;
  const std::string page = in.ConsumeRemainingBytesAsString();
  const Text text = page.substr(0, page.find('\0'));

  int handed = 0;
  const int passes = WalkPage(page, markers, completed, [&](const Text& entry) {
    ++handed;
    ExpectPiece(entry, text, "entry is not part of the page");
    const Text serial = CutSerial(entry, markers.serialTail);
    const Text title = CutTitle(entry, markers.titleHead, markers.titleTail);
    const Text author = CutAuthor(entry, markers.authorHead, markers.authorTail);
    const Text intro = CutIntroduction(entry, markers.introHead);
    const Text cover = CutCoverPath(entry, markers.coverHead, markers.coverTail);
    const Text finalSerial = FinalSerial(serial);
    for (const Text* field : {&serial, &title, &author, &intro, &cover}) {
      ExpectPiece(*field, entry, "field is not part of its entry");
    }
    ExpectPiece(finalSerial, serial, "final serial is not part of the serial");
    if (!title.empty() && IsPlainFileName(title)) {
      for (const char* suffix : {".rar", ".jpg", "\xCF\xC2\xD4\xD8\xD2\xB3.html"}) {
        ExpectOneName(title, suffix);
      }
    }
    // As a run does: an empty title ends the page.
    return !title.empty() || (mode & 4) != 0;
  });
  if (passes < 1 || passes > kEntriesPerPage || passes != handed) {
    std::fprintf(stderr, "walk gave %d passes for %d entries\n", passes, handed);
    std::abort();
  }
  return 0;
}
