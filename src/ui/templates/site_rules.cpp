#include "ui/templates/site_rules.h"

#include <string>
#include <string_view>

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
  static const std::vector<Text> list = Gbk({"玄幻奇幻", "武侠仙侠", "都市小说", "言情小说",
                                             "历史军事", "网游竞技", "科幻灵异", "同人小说"});
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

namespace {

// Expands "{N}" into N spaces, then converts to GBK. The texts below are written
// with C escapes for CR, LF, tab and quotes, so the line ends are the page's own.
Text Marker(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '{') {
      const std::size_t close = utf8.find('}', i);
      out.append(
          static_cast<std::size_t>(std::stoi(std::string(utf8.substr(i + 1, close - i - 1)))), ' ');
      i = close;
    } else {
      out.push_back(utf8[i]);
    }
  }
  return Utf8ToGbk(out);
}

}  // namespace

Text MarkerText(Unit field) {
  using namespace page_win;
  // The image host is configuration, not marker text: it is put in as it is.
  const Text imageUrl = Marker(".html\"><img src=\"http://") + hosts::kImage;
  if (field == 列表头)
    return Marker(
        "{3}<div class=\"mainListInfo\">\r\n{23}<div class=\"bl-page clear\"> \r\n\r\n\r\n");
  if (field == 列表尾)
    return Marker(
        "{24}</div></div>\r\n\t\t\t</div>\r\n\r\n\t\t\t\t<div class=\"mainNextPage\" "
        "id=\"NextPageText\">");
  if (field == 列表尾1)
    return Marker("/div></div>\r\n\t\t\t</div>\r\n\t\t<div class=\"mainNextPage\"");
  if (field == 小说头) return Marker("<dl>\r\n\t{18}<dt><a target=\"_blank\" href=\"");
  if (field == 小说尾)
    return Marker("&nbsp;</span></a></li>\r\n\t{6}</ul>\r\n\t{16}</dd>\r\n\t{15}</dl>\r");
  if (field == 序号尾) return imageUrl + Marker("/dianzishu/UploadPic");
  if (field == 标题头) return Marker(".html\" target=\"_blank\">《");
  if (field == 标题尾) return Marker("》</a></span>&nbsp; <span>作者：");
  if (field == 作者头) return Marker("</a></span>&nbsp; <span>作者：</span>");
  if (field == 作者尾)
    return Marker("<span class=\"book-namvv\"></span></li>\r\n\t\t<li><span>格式：</span>");
  if (field == 简介头) return Marker(".html\" target=\"_blank\"><span class=\"book-info\">");
  if (field == 图片头) return imageUrl + Marker("/dianzishu/UploadPic/");
  if (field == 图片尾)
    return Marker(
        "\" width=\"80\" height=\"104\" border=\"0\"/></a></dt>\r\n{17}\t{2}<dd>\r\n\t{20}<ul>"
        "\r\n{30}<li class=\"btou\"><span class=\"book-name\"");
  return {};
}

}  // namespace lirvo::ui::rules
