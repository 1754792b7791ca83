// The marker texts of the collection page window, byte for byte.
#include <gtest/gtest.h>

#include "lirvo/hosts.h"
#include "services/gbk.h"
#include "services/text.h"
#include "ui/templates/site_rules.h"

namespace lirvo {
namespace {

using namespace lirvo::literals;
using ui::rules::MarkerText;
namespace pw = ui::page_win;

struct MarkerLength {
  ui::Unit field;
  int bytes;
};

class MarkerLengthTest : public testing::TestWithParam<MarkerLength> {};

TEST_P(MarkerLengthTest, HasItsStatedLength) {
  EXPECT_EQ(TextLength(MarkerText(GetParam().field)), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(AllFixedMarkers, MarkerLengthTest,
                         testing::Values(MarkerLength{pw::列表头, 88}, MarkerLength{pw::列表尾, 99},
                                         MarkerLength{pw::列表尾1, 51},
                                         MarkerLength{pw::小说头, 54}, MarkerLength{pw::小说尾, 84},
                                         MarkerLength{pw::标题头, 25}, MarkerLength{pw::标题尾, 32},
                                         MarkerLength{pw::作者头, 37}, MarkerLength{pw::作者尾, 64},
                                         MarkerLength{pw::简介头, 47},
                                         MarkerLength{pw::图片尾, 172}));

TEST(MarkerText, ImageHostSitsInsideSerialTailAndCoverHead) {
  const Text host = hosts::kImage;
  EXPECT_EQ(MarkerText(pw::序号尾), ".html\"><img src=\"http://" + host + "/dianzishu/UploadPic");
  EXPECT_EQ(MarkerText(pw::图片头), ".html\"><img src=\"http://" + host + "/dianzishu/UploadPic/");
}

// Spot checks of the escapes: CR LF pairs, tabs, runs of spaces and GBK text.
TEST(MarkerText, KeepsLineEndsTabsAndSpaceRuns) {
  EXPECT_EQ(MarkerText(pw::列表头).substr(0, 4), "   <");
  EXPECT_EQ(MarkerText(pw::小说头),
            "<dl>\r\n\t" + std::string(18, ' ') + "<dt><a target=\"_blank\" href=\"");
  EXPECT_EQ(MarkerText(pw::小说尾).back(), '\r');
  EXPECT_EQ(MarkerText(pw::标题头), ".html\" target=\"_blank\">《"_gbk);
  EXPECT_EQ(MarkerText(pw::标题尾), "》</a></span>&nbsp; <span>作者："_gbk);
  EXPECT_NE(MarkerText(pw::图片尾).find("</dt>\r\n" + std::string(17, ' ') + "\t  <dd>"),
            std::string::npos);
}

TEST(MarkerText, WorkFieldsStartEmpty) {
  EXPECT_EQ(MarkerText(pw::列表), "");
  EXPECT_EQ(MarkerText(pw::小说简介), "");
  EXPECT_EQ(MarkerText(pw::剩余标题), "");
  EXPECT_EQ(MarkerText(pw::窗口), "");
}

}  // namespace
}  // namespace lirvo
