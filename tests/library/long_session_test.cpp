// A long browse session: thousands of selections, category switches,
// searches and suggestion ticks must leave the open files and the memory of
// the process flat.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <string>
#include <vector>

#include "demo_site.h"
#include "library/browse_fixture.h"
#include "library/category_lists.h"
#include "library/search.h"
#include "services/profile.h"

#if defined(__SANITIZE_ADDRESS__)
#define LIRVO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LIRVO_ASAN 1
#endif
#endif

namespace lirvo::test {
namespace {

constexpr int kNovelsPerCategory = 40;
constexpr int kWarmUpRounds = 100;
constexpr int kSessionRounds = 700;  // 2100 selections, 1400 searches
constexpr long kMemoryGrowthKilobytes = 8 * 1024;

int OpenFileCount() {
  int count = 0;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (::readdir(fds) != nullptr) ++count;
    ::closedir(fds);
  }
  return count;
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

class LongSession : public BrowseFixture {
 protected:
  // Two completed categories and one ongoing one, each novel with archive,
  // introduction, cover and index line, as collection runs leave them.
  void SetUp() override {
    BrowseFixture::SetUp();
    demo::SiteOptions options;
    for (int& port : options.ports) port = 0;
    const demo::DemoSite site(options);  // never started: only its content is used
    for (auto [completed, index] : {std::pair{true, 0}, std::pair{true, 1}, std::pair{false, 0}}) {
      const demo::Category* category = site.Find(completed, index);
      ASSERT_NE(category, nullptr);
      int added = 0;
      for (const demo::Page& page : category->pages) {
        for (const demo::Entry& e : page.entries) {
          if (!e.recorded() || added == kNovelsPerCategory) continue;
          AddArchive(completed, category->name, e.title + ".rar", "Rar!");
          AddIntroduction(completed, category->name, e.title, e.introduction);
          AddCover(e.title, site.Cover(e));
          MakeFolders(m_folder.Path("小说\\ini"_gbk));
          WriteProfile(m_folder.Path("小说\\ini\\小说.ini"_gbk), "小说"_gbk, e.title,
                       ArchiveFolder(completed, category->name) + "\\" + e.title + ".rar");
          m_titles[completed ? index : 2].push_back(e.title);
          ++added;
        }
      }
    }
    OpenBrowse();
    answer = 1;  // a found title is not opened
  }

  // One round of what a user does: pick a category, look at a few novels,
  // search for one known and one unknown title, let the suggestion tick.
  void Round(int round) {
    const int list = round % 3;
    if (list < 2) {
      ui::SetComboIndex(bw::完本类, list);
      library::BrowseCompletedChosen();
      library::BrowseCompletedSelected();
    } else {
      ui::SetComboIndex(bw::连载类, 0);
      library::BrowseOngoingChosen();
      library::BrowseOngoingSelected();
    }
    const std::vector<Text>& titles = m_titles[list];
    for (int pick = 0; pick < 3; ++pick)
      SelectFile(titles[static_cast<std::size_t>(round * 7 + pick * 13) % titles.size()] + ".rar");
    ui::SetEditText(bw::编辑框1, titles[static_cast<std::size_t>(round) % titles.size()] + ".rar");
    library::BrowseSearchClicked();
    EXPECT_TRUE(!messages.empty() && messages.back().message == "寻找成功，是否打开？"_gbk);
    ui::SetEditText(bw::编辑框1, "没有这本书"_gbk);
    library::BrowseSearchClicked();
    library::BrowseTimerTick();
    messages.clear();
  }

  std::vector<Text> m_titles[3];
};

TEST_F(LongSession, OpenFilesAndMemoryStayFlat) {
  for (const auto& titles : m_titles) ASSERT_EQ(titles.size(), std::size_t{kNovelsPerCategory});
  for (int round = 0; round < kWarmUpRounds; ++round) Round(round);
  ASSERT_FALSE(HasFailure());
  const int files = OpenFileCount();
  const long memory = ResidentKilobytes();

  for (int round = kWarmUpRounds; round < kWarmUpRounds + kSessionRounds; ++round) {
    Round(round);
    if (HasFailure()) return;
  }
  ui::ProcessPendingEvents();

  EXPECT_LE(OpenFileCount(), files);
#ifndef LIRVO_ASAN
  // The sanitizer keeps freed memory in quarantine, so the figure means
  // nothing there.
  EXPECT_LT(ResidentKilobytes() - memory, kMemoryGrowthKilobytes);
#else
  (void)memory;
#endif
}

}  // namespace
}  // namespace lirvo::test
