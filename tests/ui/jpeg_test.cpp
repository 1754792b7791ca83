// Covers come from the website, so the decoder meets files made to hurt it:
// a tiny file declaring a huge picture, thousands of empty scans, buffers
// beyond the memory bound. Each must come out as no picture (a null image)
// before libjpeg has done the work; ordinary pictures keep their look.
#include <gtest/gtest.h>

#include <QImage>

#include "support/jpeg_bombs.h"
#include "ui/jpeg_qt.h"

static void LoadBuiltInPictures() {
  Q_INIT_RESOURCE(pictures);
}

namespace lirvo::ui {
namespace {

namespace bombs = test::jpeg;

const QSize kCoverBox(152, 216);

QSize Decoded(const std::string& file, QSize box = {}) {
  return DecodeJpeg(Bytes(file), box).size();
}

TEST(JpegTest, FilesBeyondTheBoundsShowNoPicture) {
  struct Case {
    const char* what;
    std::string file;
  };
  const Case cases[] = {
      {"138-byte progressive of 45000 x 45000", bombs::Progressive(45000, 45000)},
      {"3000 empty scans over a small picture", bombs::Progressive(512, 512, 3000)},
      {"one scan past the limit", bombs::Progressive(512, 512, 64)},
      {"progressive buffer over the memory bound", bombs::Progressive(6000, 6000)},
      {"baseline just over 50 million pixels", bombs::Baseline(7072, 7071)},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(DecodeJpeg(Bytes(c.file), kCoverBox).isNull()) << c.what;
    EXPECT_TRUE(DecodeJpeg(Bytes(c.file)).isNull()) << c.what << ", without a box";
  }
}

TEST(JpegTest, PicturesWithinTheBoundsDecode) {
  EXPECT_EQ(Decoded(bombs::Progressive(512, 512, 63), kCoverBox), QSize(512, 512))
      << "64 scans are still read";
  EXPECT_EQ(Decoded(bombs::Progressive(4000, 4000), kCoverBox), QSize(500, 500))
      << "a progressive buffer of 32 MB fits";
  EXPECT_EQ(Decoded(bombs::Baseline(7071, 7071), kCoverBox), QSize(884, 884))
      << "just under 50 million pixels";
}

// The reduction keeps at least twice the drawn size, for doubled screens.
TEST(JpegTest, LargePicturesAreReducedForTheirBox) {
  EXPECT_EQ(Decoded(bombs::Baseline(1216, 1728), kCoverBox), QSize(304, 432)) << "1/4, not 1/8";
  EXPECT_EQ(Decoded(bombs::Baseline(1216, 1728)), QSize(1216, 1728)) << "no box, no reduction";
  EXPECT_EQ(Decoded(bombs::Baseline(600, 800), kCoverBox), QSize(600, 800))
      << "1/2 would fall below twice the drawn size";
  EXPECT_EQ(Decoded(bombs::Baseline(608, 864), kCoverBox), QSize(304, 432));
  EXPECT_EQ(Decoded(bombs::Baseline(100, 60), kCoverBox), QSize(100, 60));
}

TEST(JpegTest, BuiltInPicturesKeepTheirSize) {
  LoadBuiltInPictures();
  EXPECT_EQ(BuiltInPicture(":/pictures/main_background.jpg").size(), QSize(263, 100));
  EXPECT_EQ(BuiltInPicture(":/pictures/collect_button.jpg").size(), QSize(51, 34));
}

}  // namespace
}  // namespace lirvo::ui
