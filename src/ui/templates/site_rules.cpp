#include "ui/templates/site_rules.h"

#include "lirvo/hosts.h"
#include "services/gbk.h"

namespace lirvo::ui::rules {

using namespace lirvo::literals;

namespace {

std::vector<Text> Gbk(std::initializer_list<const char*> utf8) {
  std::vector<Text> out;
  for (const char* s : utf8) out.push_back(Utf8ToGbk(s));
  return out;
}

std::vector<Text> Prefixes(std::initializer_list<const char*> paths) {
  std::vector<Text> out;
  for (const char* p : paths) out.push_back(Text("http://") + hosts::kMain + p);
  return out;
}

}  // namespace

const std::vector<Text>& CompletedCategories() {
  static const std::vector<Text> list =
      Gbk({"玄幻小说", "都市小说", "言情小说", "黑道小说", "修真小说", "奇幻小说", "仙侠小说",
           "武侠小说", "网游小说", "科幻小说", "军事小说", "历史小说", "同人小说", "穿越小说",
           "总裁小说", "校园小说"});
  return list;
}

const std::vector<Text>& OngoingCategories() {
  static const std::vector<Text> list = Gbk(
      {"玄幻奇幻", "武侠仙侠", "都市小说", "言情小说", "历史军事", "网游竞技", "科幻灵异", "同人小说"});
  return list;
}

const std::vector<Text>& CompletedUrlPrefixes() {
  static const std::vector<Text> list = Prefixes(
      {"/wanben/xh/tuijian", "/wanben/ds/tuijian", "/wanben/yq/tuijian", "/wanben/heidao/tuijian",
       "/wanben/xiuzhen/tuijian", "/wanben/qh/tuijian", "/wanben/xx/tuijian", "/wanben/wx/tuijian",
       "/wanben/wy/tuijian", "/wanben/kh/tuijian", "/wanben/js/tuijian", "/wanben/ls/tuijian",
       "/wanben/dm/tuijian", "/wanben/cy/tuijian", "/wanben/zcxs/tuijian",
       "/wanben/xiaoyuan/tuijian"});
  return list;
}

const std::vector<Text>& OngoingUrlPrefixes() {
  static const std::vector<Text> list =
      Prefixes({"/xuanhuan/list1-", "/wuxia/list2-", "/dushi/list3-", "/yanqing/list4-",
                "/lishi/list5-", "/youxi/list6-", "/kehuan/list7-", "/tongren/list40-"});
  return list;
}

Text MarkerText(Unit /*field*/) {
  // The marker texts arrive with the collection engine.
  return {};
}

}  // namespace lirvo::ui::rules
