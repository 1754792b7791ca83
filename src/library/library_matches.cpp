#include "library/library_matches.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "services/files.h"
#include "services/folder_reader.h"
#include "services/gbk.h"
#include "services/ini_document.h"
#include "services/library_layout.h"
#include "services/native_path.h"
#include "ui/match_list.h"

namespace lirvo::library {

using namespace lirvo::literals;

namespace {

constexpr std::size_t kRows = 10;  // a screenful under the box

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Calls `key` for each key line of the first section named `section` (names
// and values trimmed, as the profile reader takes them) until it returns false.
template <typename Key>
void ForEachKey(std::string_view bytes, std::string_view section, Key key) {
  const std::string wanted = IniDocument::Fold(section);
  bool inside = false;
  bool done = false;
  while (!bytes.empty() && !done) {
    const std::size_t end = bytes.find_first_of("\r\n");
    std::string_view line = Trim(bytes.substr(0, end));
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end);
    if (bytes.size() >= 2 && bytes[0] == '\r' && bytes[1] == '\n') {
      bytes.remove_prefix(2);
    } else if (!bytes.empty()) {
      bytes.remove_prefix(1);
    }
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::string_view name = Trim(line.substr(1, line.find(']') - 1));
      if (inside) done = true;
      inside = IniDocument::Fold(name) == wanted;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inside || equals == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, equals));
    if (!name.empty() && !key(name, Trim(line.substr(equals + 1)))) return;
  }
}

// "完本\玄幻小说" from "...\小说\完本\玄幻小说\某书.rar": the last two folders,
// which stay right when the library has moved since. Separators count only
// on character boundaries.
Text CategoryPathOf(const Text& archive) {
  std::vector<std::size_t> separators;
  for (std::size_t i = 0; i < archive.size(); i += GbkCharLength(archive, i)) {
    if (IsPathSeparator(archive[i])) separators.push_back(i);
  }
  if (separators.size() < 3) return {};
  const std::size_t from = separators[separators.size() - 3] + 1;
  return archive.substr(from, separators.back() - from);
}

// The record folders a reader of authors has opened, by category path.
using RecordFolders = std::unordered_map<Text, std::unique_ptr<FolderReader>>;

Text AuthorOf(const NovelEntry& novel, RecordFolders& folders) {
  const Text categoryPath = CategoryPathOf(novel.archive);
  if (categoryPath.empty()) return {};
  std::unique_ptr<FolderReader>& folder = folders[categoryPath];
  if (!folder) folder = std::make_unique<FolderReader>(layout::RecordFolder(categoryPath));
  const Bytes record = folder->Read(novel.title + ".ini");
  if (record.empty()) return {};
  // A record is small; parsing it whole would cost more than the reading.
  const std::string wanted = IniDocument::Fold("作者"_gbk);
  Text author;
  ForEachKey(record, novel.title, [&](std::string_view name, std::string_view value) {
    if (IniDocument::Fold(name) != wanted) return true;
    author = value;
    return false;
  });
  return author;
}

// The matcher of the library, built on a thread of its own, then handed to
// the GUI thread, which alone asks it.
class LibraryMatches {
 public:
  ~LibraryMatches() {
    if (m_builder.joinable()) m_builder.join();
    if (m_freeing.joinable()) m_freeing.join();
  }

  void Prepare() {
    {
      const std::lock_guard lock(m_mutex);
      if (m_running) {
        m_again = true;  // the library may have grown since that build began
        return;
      }
      m_running = true;
    }
    if (m_builder.joinable()) m_builder.join();
    m_builder = std::thread([this] {
      do {
        // Titles first: the index is one file, the authors are one file each.
        std::vector<NovelEntry> novels = ReadIndexEntries();
        Publish(std::make_unique<TitleMatcher>(novels));
        ReadAuthors(novels);
        Publish(std::make_unique<TitleMatcher>(std::move(novels)));
      } while (AskedAgain());
    });
  }

  std::vector<ui::MatchRow> Find(const Text& typed) {
    std::unique_ptr<TitleMatcher> taken;
    {
      const std::lock_guard lock(m_mutex);
      taken = std::move(m_ready);
    }
    if (taken) {
      // Freeing 100 000 titles takes longer than a keystroke may.
      if (m_freeing.joinable()) m_freeing.join();
      m_freeing = std::thread([old = std::move(m_current)]() mutable { old.reset(); });
      m_current = std::move(taken);
    }
    std::vector<ui::MatchRow> rows;
    if (!m_current) return rows;
    for (const std::size_t n : m_current->Find(typed, kRows)) {
      const NovelEntry& novel = m_current->Novel(n);
      rows.push_back({novel.title, MatchRowText(novel, ExactFileSize(novel.archive) < 0)});
    }
    return rows;
  }

 private:
  void Publish(std::unique_ptr<TitleMatcher> matcher) {
    {
      const std::lock_guard lock(m_mutex);
      m_ready = std::move(matcher);
    }
    ui::RefreshMatchLists();
  }

  // Ends the build unless another was asked for while it ran.
  bool AskedAgain() {
    const std::lock_guard lock(m_mutex);
    m_running = m_again;
    m_again = false;
    return m_running;
  }

  std::thread m_builder;
  std::thread m_freeing;  // the matcher that was replaced
  std::mutex m_mutex;     // guards the three below
  bool m_running = false;
  bool m_again = false;
  std::unique_ptr<TitleMatcher> m_ready;    // built, not yet taken
  std::unique_ptr<TitleMatcher> m_current;  // GUI thread only
};

LibraryMatches& Matches() {
  static LibraryMatches matches;
  return matches;
}

}  // namespace

std::vector<NovelEntry> ReadIndexEntries() {
  std::vector<NovelEntry> novels;
  const Bytes index = ReadFile(layout::NovelIndexPath());
  std::unordered_set<std::string> seen;  // the first key of a name is the one the index reads
  ForEachKey(index, "小说"_gbk, [&](std::string_view title, std::string_view archive) {
    if (seen.insert(IniDocument::Fold(title)).second) {
      novels.push_back({Text(title), {}, Text(archive)});
    }
    return true;
  });
  return novels;
}

void ReadAuthors(std::vector<NovelEntry>& novels) {
  // Opening one record per novel is the cost (100 000 files at most), and it
  // waits on the file system: the cores share it, a batch of novels at a time.
  constexpr std::size_t kBatch = 512;
  const std::size_t threads = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    RecordFolders folders;
    for (std::size_t from; (from = next.fetch_add(kBatch)) < novels.size();) {
      const std::size_t to = std::min(from + kBatch, novels.size());
      for (std::size_t i = from; i < to; ++i) novels[i].author = AuthorOf(novels[i], folders);
    }
  };
  std::vector<std::jthread> helpers;
  for (std::size_t i = 1; i < threads && i * kBatch < novels.size(); ++i)
    helpers.emplace_back(work);
  work();
}

Text MatchRowText(const NovelEntry& novel, bool archiveMissing) {
  Text row = novel.title;
  if (!novel.author.empty()) row += "　"_gbk + novel.author;
  if (archiveMissing) row += "　（本文件不存在）"_gbk;
  return row;
}

void InstallLibraryMatches() {
  ui::SetMatchSource(
      {[] { Matches().Prepare(); }, [](const Text& typed) { return Matches().Find(typed); }});
}

}  // namespace lirvo::library
