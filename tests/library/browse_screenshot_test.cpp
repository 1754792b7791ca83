// The browse window with a few demo novels and a cover, as a PNG for the
// README: set LIRVO_SCREENSHOT_DIR to a folder; without it this does nothing.
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

#include "demo_site.h"
#include "library/browse_fixture.h"

namespace lirvo::test {
namespace {

class BrowseScreenshot : public BrowseFixture {};

TEST_F(BrowseScreenshot, NovelsListedAndACoverShown) {
  const char* folder = std::getenv("LIRVO_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') GTEST_SKIP() << "LIRVO_SCREENSHOT_DIR not set";

  const demo::DemoSite site;  // content only, no servers
  const demo::Category* category = site.Find(true, 0);
  ASSERT_NE(category, nullptr);
  const std::vector<demo::Entry> entries = demo::CollectedEntries(*category, 1);
  ASSERT_GE(entries.size(), 8u);
  for (std::size_t i = 0; i < 8; ++i) {
    const demo::Entry& entry = entries[i];
    AddArchive(true, category->name, entry.title + ".rar", site.Archive(entry));
    AddIntroduction(true, category->name, entry.title, entry.introduction);
    AddCover(entry.title, site.Cover(entry));
  }
  OpenBrowse();
  SelectFile(entries[2].title + ".rar");
  ui::SetEditText(bw::编辑框1, entries[5].title);
  ui::ProcessPendingEvents();

  QWidget* window = Live(bw::窗口);
  ASSERT_NE(window, nullptr);
  QDir().mkpath(QString::fromUtf8(folder));
  EXPECT_TRUE(
      window->grab().save(QString::fromUtf8(folder) + QStringLiteral("/browse-window.png"), "PNG"));
}

}  // namespace
}  // namespace lirvo::test
