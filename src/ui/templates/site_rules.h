#pragma once
// The site's rules as the windows carry them: category lists, listing URL
// prefixes (twin lists, same index) and the marker texts of the collection
// page window. All texts GBK.
#include <vector>

#include "services/text.h"
#include "ui/ids.h"

namespace lirvo::ui::rules {

const std::vector<Text>& CompletedCategories();  // 16 items of 完本类
const std::vector<Text>& OngoingCategories();    // 8 items of 连载类
const std::vector<Text>& CompletedUrlPrefixes();  // 完本网页, "http://" + main host + path
const std::vector<Text>& OngoingUrlPrefixes();    // 连载网页

// Initial text of a marker field of the collection page window (列表头 … 图片尾);
// the empty text for the work fields and any other unit.
Text MarkerText(Unit field);

}  // namespace lirvo::ui::rules
