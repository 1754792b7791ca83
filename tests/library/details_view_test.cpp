// The details of a selected novel: introduction text, notice, cover, opening.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>

#include <filesystem>

#include "library/browse_fixture.h"
#include "library/category_lists.h"
#include "library/details_view.h"
#include "support/jpeg_bombs.h"

namespace lirvo::test {
namespace {

const Bytes kCover = "\xFF\xD8\xFF\xE0 not decoded by these checks \xFF\xD9";

class DetailsViewTest : public BrowseFixture {
 protected:
  Text Notice(const Text& title) const {
    return title + " 简介：\r\n  "_gbk + "该文件没有简介  或者重新采集下该类文件！！"_gbk;
  }
};

TEST_F(DetailsViewTest, ShowsIntroductionAfterTitleLineAndTheCover) {
  AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "某书"_gbk, "一段简介。"_gbk);
  AddCover("某书"_gbk, kCover);
  OpenBrowse();

  SelectFile("某书.rar"_gbk);

  EXPECT_EQ(ui::Caption(bw::标签1), "某书 简介：\r\n  一段简介。"_gbk);
  EXPECT_EQ(ui::Picture(bw::图片框1), kCover);
}

// Introductions that show as nothing get the notice, as a missing one does.
struct IntroductionCase {
  const char* name;
  bool present;
  Bytes bytes;
  const char* shown;  // UTF-8; nullptr: the notice
};

class IntroductionTest : public DetailsViewTest,
                         public ::testing::WithParamInterface<IntroductionCase> {};

TEST_P(IntroductionTest, TextEndsAtNulOrEofMark) {
  const IntroductionCase& c = GetParam();
  AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk);
  if (c.present) AddIntroduction(true, "玄幻小说"_gbk, "某书"_gbk, c.bytes);
  OpenBrowse();

  SelectFile("某书.rar"_gbk);

  const Text expected = c.shown ? "某书 简介：\r\n  "_gbk + Utf8ToGbk(c.shown) : Notice("某书"_gbk);
  EXPECT_EQ(ui::Caption(bw::标签1), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Introductions, IntroductionTest,
    ::testing::Values(IntroductionCase{"missing", false, {}, nullptr},
                      IntroductionCase{"empty", true, {}, nullptr},
                      IntroductionCase{"zero_byte_first", true, Bytes("\0abc", 4), nullptr},
                      IntroductionCase{"eof_mark_first", true,
                                       "\x1A"
                                       "abc",
                                       nullptr},
                      IntroductionCase{"nul_inside", true, Bytes("ab\0cd", 5), "ab"},
                      IntroductionCase{"eof_mark_inside", true,
                                       "ab\x1A"
                                       "cd",
                                       "ab"},
                      IntroductionCase{"line_ends_kept", true, "a\r\nb", "a\r\nb"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DetailsViewTest, RadioButtonDecidesTheSideNotTheListedFolder) {
  AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "某书"_gbk, "完本的简介"_gbk);
  AddIntroduction(false, "都市小说"_gbk, "某书"_gbk, "连载的简介"_gbk);
  OpenBrowse();

  // Checked from code: no switch runs, the box still lists 完本\玄幻小说.
  ui::SetChecked(bw::单选框1, false);
  ui::SetChecked(bw::单选框2, true);
  ui::SetComboIndex(bw::连载类, 2);
  SelectFile("某书.rar"_gbk);

  EXPECT_EQ(ui::Caption(bw::标签1), "某书 简介：\r\n  连载的简介"_gbk);
}

TEST_F(DetailsViewTest, OtherExtensionLosesItsLastFourBytesToo) {
  AddArchive(true, "玄幻小说"_gbk, "某书.zip"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "某书"_gbk, "简介"_gbk);
  OpenBrowse();
  SelectFile("某书.zip"_gbk);
  EXPECT_EQ(ui::Caption(bw::标签1), "某书 简介：\r\n  简介"_gbk);
}

TEST_F(DetailsViewTest, MissingCoverEmptiesThePictureAndSwitchesKeepDetails) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "乙书.rar"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "甲书"_gbk, "甲"_gbk);
  AddCover("甲书"_gbk, kCover);
  OpenBrowse();

  SelectFile("甲书.rar"_gbk);
  ASSERT_EQ(ui::Picture(bw::图片框1), kCover);
  SelectFile("乙书.rar"_gbk);
  EXPECT_EQ(ui::Picture(bw::图片框1), "");
  EXPECT_EQ(ui::Caption(bw::标签1), Notice("乙书"_gbk));

  SelectFile("甲书.rar"_gbk);
  input::ChooseFromList(Live<QComboBox>(bw::完本类), 3);
  EXPECT_EQ(ui::Caption(bw::标签1), "甲书 简介：\r\n  甲"_gbk);
  EXPECT_EQ(ui::Picture(bw::图片框1), kCover);
}

// A cover from the website may be built to explode in the decoder: selecting
// its novel shows no picture, while a large honest cover is drawn.
TEST_F(DetailsViewTest, CoverBeyondTheDecoderBoundsShowsAsNoCover) {
  AddArchive(true, "玄幻小说"_gbk, "炸书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "大书.rar"_gbk);
  AddCover("炸书"_gbk, jpeg::Progressive(2000, 2000, 3000));
  AddCover("大书"_gbk, jpeg::Baseline(3000, 4000));
  OpenBrowse();
  auto middleDiffersFromCorner = [] {
    const QImage shown = Live(bw::图片框1)->grab().toImage();
    return shown.pixel(76, 108) != shown.pixel(1, 1);
  };

  SelectFile("大书.rar"_gbk);
  EXPECT_TRUE(middleDiffersFromCorner());
  SelectFile("炸书.rar"_gbk);
  EXPECT_EQ(ui::Picture(bw::图片框1), jpeg::Progressive(2000, 2000, 3000));
  EXPECT_FALSE(middleDiffersFromCorner());
}

// The folder switch gives the file box the focus, and so may the user; focus
// alone selects nothing, so no notice replaces the details.
TEST_F(DetailsViewTest, FocusOnTheFileBoxLeavesTheDetails) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "乙书.rar"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "乙书"_gbk, "乙"_gbk);
  OpenBrowse();

  input::ChooseFromList(Live<QComboBox>(bw::完本类), 0);
  ASSERT_EQ(QApplication::focusWidget(), Live(bw::文件框1));
  input::Press(Qt::Key_Backtab);
  input::Press(Qt::Key_Tab);
  EXPECT_EQ(ui::Caption(bw::标签1), "");

  SelectFile("乙书.rar"_gbk);
  EXPECT_EQ(ui::Caption(bw::标签1), "乙书 简介：\r\n  乙"_gbk);
  input::ChooseFromList(Live<QComboBox>(bw::完本类), 0);
  EXPECT_EQ(ui::Caption(bw::标签1), "乙书 简介：\r\n  乙"_gbk);
  input::Press(Qt::Key_Up);
  EXPECT_EQ(ui::Caption(bw::标签1), Notice("甲书"_gbk));
}

TEST_F(DetailsViewTest, DoubleClickOpensTheFileInTheListedFolder) {
  AddArchive(true, "玄幻小说"_gbk, "某书.rar"_gbk);
  OpenBrowse();
  SelectFile("某书.rar"_gbk);
  DoubleClickFile("某书.rar"_gbk);
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_EQ(openedUrls[0], ArchiveFolder(true, "玄幻小说"_gbk) + "\\某书.rar"_gbk);
}

int OpenFileCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// Every selection opens the introduction file; it must be closed again, or
// the details stop once the process has run out of file numbers.
TEST_F(DetailsViewTest, ThousandsOfSelectionsKeepTheOpenFileCountFlat) {
  AddArchive(true, "玄幻小说"_gbk, "甲书.rar"_gbk);
  AddArchive(true, "玄幻小说"_gbk, "乙书.rar"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "甲书"_gbk, "甲"_gbk);
  AddIntroduction(true, "玄幻小说"_gbk, "乙书"_gbk, "乙"_gbk);
  OpenBrowse();
  SelectFile("甲书.rar"_gbk);
  const int before = OpenFileCount();

  for (int i = 0; i < 5000; ++i) library::BrowseFileSelected();
  SelectFile("乙书.rar"_gbk);

  EXPECT_LE(OpenFileCount(), before + 2);
  EXPECT_EQ(ui::Caption(bw::标签1), "乙书 简介：\r\n  乙"_gbk);
}

}  // namespace
}  // namespace lirvo::test
