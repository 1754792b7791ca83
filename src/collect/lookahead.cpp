#include "collect/lookahead.h"

#include <deque>
#include <utility>
#include <vector>

#include "collect/downloads.h"
#include "collect/rules.h"
#include "collect/run_problems.h"
#include "collect/run_stop.h"
#include "collect/state.h"
#include "collect/stop_signals.h"
#include "services/files.h"
#include "services/library_layout.h"

namespace lirvo::collect {

namespace {

struct Ahead {
  Download download;
  Text url;
  Text target;  // "" for a body held in memory
};

struct QueuedEntry {
  int page = 0;
  Text entry;
  Text title;
  bool decided = false;  // whether to fetch ahead has been settled
  std::vector<Ahead> ahead;
};

struct Walk {
  bool active = false;
  long long pageCount = 0;
  long long nextPage = 1;  // the next listing page to read
  Markers markers;
  bool completed = true;
  Text category;
  Text categoryPath;
  std::deque<QueuedEntry> queue;
  QueuedEntry current;  // the entry being processed
  std::vector<Download> dropped;
};

Walk g_walk;
int g_lookahead = kLookaheadEntries;

void Drop(QueuedEntry& entry) {
  for (Ahead& a : entry.ahead) {
    a.download.ticket.Cancel();
    g_walk.dropped.push_back(std::move(a.download));
  }
  entry.ahead.clear();
}

void DeleteTemporary(const Download& d) {
  if (d.temporary.empty()) return;
  DeleteFile(d.temporary);
  ForgetPendingTemporary(d.temporary);
}

// Deletes the files of dropped downloads that have ended.
void ReapDropped() {
  std::erase_if(g_walk.dropped, [](const Download& d) {
    if (!d.ticket.Done()) return false;
    DeleteTemporary(d);
    return true;
  });
}

void ReadNextPage() {
  const int page = static_cast<int>(g_walk.nextPage++);
  const Bytes cached = ReadFile(layout::ListingCachePath(g_walk.category, page));
  const Markers& m = g_walk.markers;
  WalkPage(cached, m, g_walk.completed, [page, &m](const Text& entry) {
    QueuedEntry queued;
    queued.page = page;
    queued.entry = entry;
    queued.title = CutTitle(entry, m.titleHead, m.titleTail);
    const bool goesOn = !queued.title.empty();
    g_walk.queue.push_back(std::move(queued));
    return goesOn;
  });
}

bool MorePages() {
  return g_walk.nextPage <= g_walk.pageCount;
}

// An earlier entry not yet processed has this title: its record step may
// change the files this one would be judged by.
bool TitleComesEarlier(const Text& title, std::size_t position) {
  if (g_walk.current.title == title) return true;
  for (std::size_t i = 0; i < position; ++i)
    if (g_walk.queue[i].title == title) return true;
  return false;
}

// The download step's own questions, asked early: an entry that will fetch.
void Decide(std::size_t position) {
  QueuedEntry& q = g_walk.queue[position];
  q.decided = true;
  const Markers& m = g_walk.markers;
  const Text& title = q.title;
  if (title.empty() || !IsPlainFileName(title) || TitleComesEarlier(title, position)) return;
  if (CutIntroduction(q.entry, m.introHead).empty()) return;
  const Text archive = layout::ArchivePath(g_walk.categoryPath, title);
  if (ArchiveCountsAsPresent(archive) || !FitsAsFileNames(g_walk.categoryPath, title)) return;

  const Text serial = FinalSerial(CutSerial(q.entry, m.serialTail));
  const auto ask = [&q](const Text& url, const Text& target, HttpKind kind) {
    q.ahead.push_back({SubmitDownload(url, target, kind), url, target});
  };
  if (!serial.empty()) {
    ask(DownloadPageUrl(serial), {}, HttpKind::kPage);
    const Text cover = layout::CoverPath(title);
    if (ExactFileSize(cover) <= kCoverBytes)
      ask(CoverUrl(CutCoverPath(q.entry, m.coverHead, m.coverTail)), cover, HttpKind::kCover);
  }
  ask(ArchiveUrl(serial), archive, HttpKind::kArchive);
}

void Fill() {
  if (g_lookahead <= 0 || State().libraryUnwritable || RunStopRequested()) return;
  const std::size_t wanted = static_cast<std::size_t>(g_lookahead);
  while (g_walk.queue.size() < wanted && MorePages()) ReadNextPage();
  for (std::size_t i = 0; i < g_walk.queue.size() && i < wanted; ++i) {
    if (!g_walk.queue[i].decided) Decide(i);
  }
}

}  // namespace

Download SubmitDownload(const Text& url, const Text& target, HttpKind kind) {
  Download d;
  if (!target.empty()) d.temporary = TemporaryFileIn(FolderOf(target));
  d.ticket = HttpSubmit({url, kind, d.temporary, HttpRetry::kTransient}, RunSession());
  if (!d.temporary.empty()) AddPendingTemporary(d.temporary);
  return d;
}

Download TakeOrSubmitDownload(const Text& url, const Text& target, HttpKind kind) {
  std::vector<Ahead>& ahead = g_walk.current.ahead;
  for (auto it = ahead.begin(); it != ahead.end(); ++it) {
    if (it->url == url && it->target == target) {
      Download d = std::move(it->download);
      ahead.erase(it);
      return d;
    }
  }
  return SubmitDownload(url, target, kind);
}

void BeginLookahead(int pageCount, const Markers& markers) {
  EndLookahead();
  g_walk.active = true;
  g_walk.pageCount = pageCount;
  g_walk.nextPage = 1;
  g_walk.markers = markers;
  g_walk.completed = CompletedType();
  g_walk.category = SelectedCategory();
  g_walk.categoryPath = CategoryPath();
}

bool NextEntryOfPage(int page, Text& entry) {
  if (!g_walk.active) return false;
  Drop(g_walk.current);
  g_walk.current = {};
  ReapDropped();
  for (;;) {
    if (g_walk.queue.empty()) {
      if (g_walk.nextPage > page || !MorePages()) return false;
      ReadNextPage();
      continue;
    }
    if (g_walk.queue.front().page > page) return false;
    const bool reached = g_walk.queue.front().page == page;
    if (reached) break;
    // The walk of an earlier page ended before this entry.
    Drop(g_walk.queue.front());
    g_walk.queue.pop_front();
  }
  g_walk.current = std::move(g_walk.queue.front());
  g_walk.queue.pop_front();
  entry = g_walk.current.entry;
  Fill();
  return true;
}

void EndLookahead() {
  Drop(g_walk.current);
  for (QueuedEntry& q : g_walk.queue) Drop(q);
  for (const Download& d : g_walk.dropped) d.ticket.Wait();
  ReapDropped();
  g_walk = Walk{};
}

void SetLookaheadForTest(int entries) {
  g_lookahead = entries;
}

}  // namespace lirvo::collect
