#include "collect/title_fit.h"

#include "services/gbk.h"
#include "services/library_check.h"
#include "services/library_layout.h"
#include "services/profile.h"

namespace lirvo::collect {

using namespace lirvo::literals;

bool TitleFitsLibrary(const Text& categoryPath, const Text& title) {
  if (!ProfileCanHold(title, "作者"_gbk) || !ProfileCanHold("小说"_gbk, title)) return false;
  for (const Text& path :
       {layout::ArchivePath(categoryPath, title), layout::CoverPath(title),
        layout::RecordPath(categoryPath, title), layout::IntroductionPath(categoryPath, title)}) {
    if (!FileSystemAcceptsName(path)) return false;
  }
  return true;
}

}  // namespace lirvo::collect
