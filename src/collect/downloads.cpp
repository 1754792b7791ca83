#include "collect/downloads.h"

#include "app/state.h"
#include "collect/extraction.h"
#include "collect/records.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/http.h"
#include "services/library_layout.h"
#include "ui/ids.h"
#include "ui/props.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

namespace {

// The download step measures its own files: a title's "?" or "*" is part of
// the name, not a wildcard.
Text SizeText(const Text& file) {
  return ToText(RoundNumber(ExactFileSize(file), 0));
}

// The folder part of a path built with backslashes.
Text FolderOf(const Text& path) {
  return LeftText(path, FindTextReverse(path, "\\") - 1);
}

}  // namespace

bool DownloadOver(const Text& url, const Text& target) {
  const HttpResult result = HttpFetch(url);
  const Text temporary = TemporaryFileIn(FolderOf(target));
  bool replaced = false;
  if (result.complete && result.status >= 200 && result.status < 300) {
    replaced = WriteFile(temporary, result.body) && MoveFileOver(temporary, target);
  }
  // A broken transfer never touches what the library holds; a novel without any
  // file gets an empty one, so its record shows 0 and the next run fetches again.
  if (!replaced && ExactFileSize(target) == -1) WriteFile(target, "");
  DeleteFile(temporary);
  return replaced;
}

void DownloadStep(const Text& entry, const Markers& markers) {
  app::CollectionState& state = app::State();
  const Text& title = CurrentTitle();
  // A title that is not one plain file name would name files outside the
  // library folders: the entry is passed over as if the site never sent it.
  if (!title.empty() && !IsPlainFileName(title)) return;

  const Text archive = layout::ArchivePath(state.categoryPath, title);
  bool existed = false;
  if (ui::Checked(mw::单选框1) && ExactFileSize(archive) > kCompletedArchiveBytes) {
    existed = true;
    ++state.existingCount;
  }
  if (ui::Checked(mw::单选框2) && ExactFileSize(archive) > kOngoingArchiveBytes &&
      !ui::Checked(mw::选择框1)) {
    existed = true;
    ++state.existingCount;
  }
  if (title.empty() || state.entryIntroduction.empty()) return;
  if (existed) {
    state.archiveSizeText = SizeText(archive);
    RecordStep(true);
    return;
  }

  const Text coverPath = CutCoverPath(entry, markers.coverHead, markers.coverTail);
  state.coverUrl = Text("http://") + hosts::kImage + "/dianzishu/UploadPic/" + coverPath;
  state.entrySerial = FinalSerial(state.entrySerial);
  state.downloadPageUrl =
      Text("http://") + hosts::kText + "/txt/" + state.entrySerial + "txt.html#";
  if (!state.entrySerial.empty()) {
    WriteFile(layout::DownloadPagePath(title), HttpGet(state.downloadPageUrl));
    const Text cover = layout::CoverPath(title);
    for (int attempt = 0; attempt < kCoverAttempts && ExactFileSize(cover) <= kCoverBytes;
         ++attempt) {
      DownloadOver(state.coverUrl, cover);
    }
  }
  DownloadOver(Text("http://") + hosts::kDownload + "/down/2011/" + state.entrySerial + ".rar",
               archive);
  state.archiveSizeText = SizeText(archive);
  RecordStep(false);
}

}  // namespace lirvo::collect
