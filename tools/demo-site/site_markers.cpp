#include "site_markers.h"

#include "services/gbk.h"

namespace lirvo::demo {

namespace {

Text Spaces(int count) {
  return Text(static_cast<std::size_t>(count), ' ');
}

}  // namespace

Markers MakeMarkers(const std::string& imageHost) {
  Markers m;
  m.listHead = Spaces(3) + "<div class=\"mainListInfo\">\r\n" + Spaces(23) +
               "<div class=\"bl-page clear\"> \r\n\r\n\r\n";
  m.listTail = Spaces(24) +
               "</div></div>\r\n\t\t\t</div>\r\n\r\n\t\t\t\t<div class=\"mainNextPage\" "
               "id=\"NextPageText\">";
  m.listTailOngoing = "/div></div>\r\n\t\t\t</div>\r\n\t\t<div class=\"mainNextPage\"";
  m.entryHead = "<dl>\r\n\t" + Spaces(18) + "<dt><a target=\"_blank\" href=\"";
  m.entryTail = "&nbsp;</span></a></li>\r\n\t" + Spaces(6) + "</ul>\r\n\t" + Spaces(16) +
                "</dd>\r\n\t" + Spaces(15) + "</dl>\r";
  m.serialTail = ".html\"><img src=\"http://" + imageHost + "/dianzishu/UploadPic";
  m.titleHead = Utf8ToGbk(".html\" target=\"_blank\">《");
  m.titleTail = Utf8ToGbk("》</a></span>&nbsp; <span>作者：");
  m.authorHead = Utf8ToGbk("</a></span>&nbsp; <span>作者：</span>");
  m.authorTail =
      Utf8ToGbk("<span class=\"book-namvv\"></span></li>\r\n\t\t<li><span>格式：</span>");
  m.introHead = ".html\" target=\"_blank\"><span class=\"book-info\">";
  m.coverHead = m.serialTail + "/";
  m.coverTail = "\" width=\"80\" height=\"104\" border=\"0\"/></a></dt>\r\n" + Spaces(17) + "\t" +
                Spaces(2) + "<dd>\r\n\t" + Spaces(20) + "<ul>\r\n" + Spaces(30) +
                "<li class=\"btou\"><span class=\"book-name\"";
  return m;
}

}  // namespace lirvo::demo
