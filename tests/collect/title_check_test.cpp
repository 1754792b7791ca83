// The title check against the file services' own reading of separators: a
// title it passes must never be split into folders by the path mapping.
#include <gtest/gtest.h>

#include "collect/cuts.h"
#include "services/native_path.h"

namespace lirvo::collect {
namespace {

struct TitleCase {
  const char* label;
  Text title;
  bool plain;
};

class TitleCheckTest : public testing::TestWithParam<TitleCase> {};

TEST_P(TitleCheckTest, AgreesWithThePathMapping) {
  const TitleCase& c = GetParam();
  EXPECT_EQ(IsPlainFileName(c.title), c.plain);
  if (c.plain) {
    EXPECT_EQ(NativePath("lib\\" + c.title + ".rar").find('/'), 3u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleCheckTest,
    testing::Values(
        // Bytes the text search takes as lead bytes but the path mapping does not.
        TitleCase{"EuroByteThenSlash", "\x80/.", false},
        TitleCase{"EuroByteThenBackslash", "a\x80\\b", false},
        TitleCase{"ByteFFThenSlash", "\xFF/x", false},
        // A lead byte whose next byte cannot be a second byte.
        TitleCase{"LeadThenSlash", "\x81/x", false},
        // Whole characters with a 0x5C second byte stay one name.
        TitleCase{"BackslashAsSecondByte", "\xD5\x5C", true},
        TitleCase{"FourByteForm", "\x81\x30\x81\x30", true}),
    [](const testing::TestParamInfo<TitleCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace lirvo::collect
