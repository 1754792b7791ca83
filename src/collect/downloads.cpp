#include "collect/downloads.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <fstream>

#include "collect/extraction.h"
#include "collect/lookahead.h"
#include "collect/records.h"
#include "collect/run_problems.h"
#include "collect/run_stop.h"
#include "collect/state.h"
#include "collect/stop_signals.h"
#include "collect/title_fit.h"
#include "lirvo/hosts.h"
#include "services/files.h"
#include "services/gbk.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "ui/ids.h"
#include "ui/props.h"

namespace lirvo::collect {

using namespace lirvo::literals;
namespace mw = ui::main_win;

namespace {

// Enough to see past a byte order mark and leading white space.
constexpr std::size_t kHeadBytes = 1024;

// The download step measures its own files: a title's "?" or "*" is part of
// the name, not a wildcard.
Text SizeText(const Text& file) {
  return ToText(RoundNumber(ExactFileSize(file), 0));
}

std::string ReadHead(const Text& file) {
  std::ifstream in(NativePath(file), std::ios::binary);
  std::string head(kHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return head;
}

bool IsWholeFile(const HttpResult& result, const Text& file) {
  return result.complete && result.status == 200 && ExactFileSize(file) > 0 &&
         !LooksLikeWebPage(ReadHead(file));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// The last name of a library path fits its folder's file system.
bool NameFits(const Text& path) {
  const Text folder = FolderOf(path);
  const Text name = RightText(path, TextLength(path) - TextLength(folder) - 1);
  long max = ::pathconf(NativePath(folder).c_str(), _PC_NAME_MAX);
  if (max <= 0) max = NAME_MAX;
  return NativeName(name).size() <= static_cast<std::size_t>(max);
}

}  // namespace

bool LooksLikeWebPage(std::string_view head) {
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  while (!head.empty() && std::isspace(static_cast<unsigned char>(head.front())))
    head.remove_prefix(1);
  for (std::string_view start : {"<!doctype", "<html", "<head", "<body"}) {
    if (StartsWithNoCase(head, start)) return true;
  }
  return false;
}

bool FitsAsFileNames(const Text& categoryPath, const Text& title) {
  return NameFits(layout::ArchivePath(categoryPath, title)) && NameFits(layout::CoverPath(title)) &&
         NameFits(layout::RecordPath(categoryPath, title)) &&
         NameFits(layout::IntroductionPath(categoryPath, title)) && TitleFitsLibrary(title);
}

bool ArchiveCountsAsPresent(const Text& archive) {
  return (ui::Checked(mw::单选框1) && ExactFileSize(archive) > kCompletedArchiveBytes) ||
         (ui::Checked(mw::单选框2) && ExactFileSize(archive) > kOngoingArchiveBytes &&
          !ui::Checked(mw::选择框1));
}

Text DownloadPageUrl(const Text& finalSerial) {
  return Text("http://") + hosts::kText + "/txt/" + finalSerial + "txt.html#";
}

Text CoverUrl(const Text& coverPath) {
  return Text("http://") + hosts::kImage + "/dianzishu/UploadPic/" + coverPath;
}

Text ArchiveUrl(const Text& finalSerial) {
  return Text("http://") + hosts::kDownload + "/down/2011/" + finalSerial + ".rar";
}

Stored DownloadOver(const Text& url, const Text& target, HttpKind kind) {
  const Download download = TakeOrSubmitDownload(url, target, kind);
  const Text& temporary = download.temporary;
  const HttpResult& result = download.ticket.Wait();
  ReportGivenUpHosts();
  int writeError = result.failure == HttpFailure::kWrite ? result.writeError : 0;
  bool replaced = false;
  if (writeError == 0 && IsWholeFile(result, temporary)) {
    errno = 0;
    replaced = MoveFileOver(temporary, target);
    if (!replaced) writeError = errno;
  }
  if (!replaced) DeleteFile(temporary);
  collect::ForgetPendingTemporary(temporary);
  if (ReportLibraryProblem(target, writeError)) return Stored::kLibraryUnwritable;
  return replaced ? Stored::kReplaced : Stored::kKept;
}

void DownloadStep(const Text& entry, const Markers& markers) {
  collect::CollectionState& state = collect::State();
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
    RecordStep(Outcome::kExisted);
    return;
  }
  // Too long a name would be fetched and thrown away on every run.
  if (!FitsAsFileNames(state.categoryPath, title)) {
    state.archiveSizeText = SizeText(archive);
    RecordStep(Outcome::kUnnamable);
    return;
  }

  const Text coverPath = CutCoverPath(entry, markers.coverHead, markers.coverTail);
  state.coverUrl = CoverUrl(coverPath);
  state.entrySerial = FinalSerial(state.entrySerial);
  state.downloadPageUrl = DownloadPageUrl(state.entrySerial);
  // A stop cuts the entry off: it is neither recorded nor counted.
  if (!state.entrySerial.empty()) {
    const Download download = TakeOrSubmitDownload(state.downloadPageUrl, {}, HttpKind::kPage);
    const Bytes page = download.ticket.Wait().body;
    ReportGivenUpHosts();
    collect::StopIfRequested();
    if (RunStopRequested()) return;
    const Text pageFile = layout::DownloadPagePath(title);
    WriteInLibrary(pageFile, [&] { return WriteFile(pageFile, page); });
    const Text cover = layout::CoverPath(title);
    for (int attempt = 0; !state.libraryUnwritable && attempt < kCoverAttempts &&
                          ExactFileSize(cover) <= kCoverBytes;
         ++attempt) {
      DownloadOver(state.coverUrl, cover, HttpKind::kCover);
      collect::StopIfRequested();
      if (RunStopRequested()) return;
    }
  }
  // Once the library refuses a write, every further download would be lost.
  Stored stored = Stored::kLibraryUnwritable;
  if (!state.libraryUnwritable) {
    stored = DownloadOver(ArchiveUrl(state.entrySerial), archive, HttpKind::kArchive);
    collect::StopIfRequested();
    if (stored != Stored::kReplaced && RunStopRequested()) return;
  }
  if (stored == Stored::kLibraryUnwritable) {
    ++state.failedCount;
    return;
  }
  state.archiveSizeText = SizeText(archive);
  RecordStep(stored == Stored::kReplaced ? Outcome::kNew : Outcome::kFailed);
}

}  // namespace lirvo::collect
