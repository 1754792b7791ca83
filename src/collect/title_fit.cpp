#include "collect/title_fit.h"

#include "services/gbk.h"
#include "services/library_check.h"
#include "services/library_layout.h"
#include "services/profile.h"

namespace lirvo::collect {

using namespace lirvo::literals;

bool TitleFitsLibrary(const Text& title) {
  if (!ProfileCanHold("小说"_gbk, title)) return false;
  for (const Text& name :
       {title + ".rar", title + ".jpg", title + ".ini", title + "简介.ini"_gbk}) {
    if (!FileSystemAcceptsName(layout::NovelFolder(), name)) return false;
  }
  return true;
}

}  // namespace lirvo::collect
