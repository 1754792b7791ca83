#pragma once
// The marker texts the collector cuts listing pages with, in GBK. The site
// builds its pages around them, so they are kept here byte for byte.
#include <string>

#include "services/text.h"

namespace lirvo::demo {

struct Markers {
  Text listHead;         // 列表头
  Text listTail;         // 列表尾, completed listing pages
  Text listTailOngoing;  // 列表尾1, ongoing listing pages
  Text entryHead;        // 小说头
  Text entryTail;        // 小说尾
  Text serialTail;       // 序号尾 (holds the image host)
  Text titleHead;        // 标题头
  Text titleTail;        // 标题尾
  Text authorHead;       // 作者头
  Text authorTail;       // 作者尾
  Text introHead;        // 简介头
  Text coverHead;        // 图片头 (holds the image host)
  Text coverTail;        // 图片尾
};

Markers MakeMarkers(const std::string& imageHost);

}  // namespace lirvo::demo
