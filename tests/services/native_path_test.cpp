#include "services/native_path.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>

#include "services/gbk.h"

namespace lirvo {
namespace {

using namespace lirvo::literals;

struct PathCase {
  const char* label;
  Text program;        // GBK, as the program builds it
  std::string native;  // UTF-8
};

class NativePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(NativePathTest, MapsSeparatorsAndNames) {
  EXPECT_EQ(NativePath(GetParam().program), GetParam().native);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NativePathTest,
    testing::Values(PathCase{"relative", "a\\b\\c.txt", "a/b/c.txt"},
                    PathCase{"leading backslash stays absolute", "\\tmp\\x", "/tmp/x"},
                    PathCase{"posix absolute", "/tmp/x", "/tmp/x"},
                    PathCase{"mixed separators", "/tmp\\a/b", "/tmp/a/b"},
                    PathCase{"doubled and trailing separators kept", "a\\\\b\\", "a//b/"},
                    PathCase{"names to utf8", "小说\\完本\\玄幻.rar"_gbk, "小说/完本/玄幻.rar"},
                    // 乗 is 81 5C: its trail byte is no separator.
                    PathCase{"trail byte 5C", "x\\乗\\乗.ini"_gbk, "x/乗/乗.ini"},
                    PathCase{"trail byte 5C at the end", "乗"_gbk, "乗"},
                    PathCase{"euro sign", "\x80.txt", "€.txt"},
                    PathCase{"four-byte form", "a\\"_gbk + Utf8ToGbk("😀.txt"), "a/😀.txt"},
                    // 0x81 before a separator is no character with it: the separator counts.
                    PathCase{"lone lead byte", "\x81/b", "\xEF\x9E\x81/b"},
                    PathCase{"empty", "", ""}),
    [](const testing::TestParamInfo<PathCase>& info) {
      std::string name;
      for (char c : std::string(info.param.label)) name += std::isalnum(c) ? c : '_';
      return name;
    });

TEST(NativePathTest, CharacterLengths) {
  Text text = "a乗"_gbk + Utf8ToGbk("😀") + "\x80\x81";
  EXPECT_EQ(GbkCharLength(text, 0), 1u);
  EXPECT_EQ(GbkCharLength(text, 1), 2u);
  EXPECT_EQ(GbkCharLength(text, 3), 4u);
  EXPECT_EQ(GbkCharLength(text, 7), 1u);  // euro
  EXPECT_EQ(GbkCharLength(text, 8), 1u);  // cut-off lead byte
}

TEST(NativePathTest, NamesRoundTrip) {
  for (std::string name : {"plain.txt", "小说.ini", "乗り物", "€uro", "😀 emoji", "x y z"}) {
    Text gbk = TextFromNativeName(name);
    EXPECT_EQ(NativeName(gbk), name) << name;
  }
  EXPECT_EQ(TextFromNativeName("乗"), "\x81\x5C");
}

TEST(NativePathTest, BytesThatAreNoCharacterKeepDistinctNames) {
  // Each gave "x\uFFFD" once, so the titles shared one file.
  const Text texts[] = {"x\xFF", "x\xB0", "x\xFE", "\xB0 a", "\xFF\xFF", "\xA1\x7F"};
  std::set<std::string> names;
  for (const Text& text : texts) {
    const std::string name = NativeName(text);
    EXPECT_EQ(TextFromNativeName(name), text) << name;
    EXPECT_EQ(name.find("\xEF\xBF\xBD"), std::string::npos) << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), std::size(texts));
  EXPECT_EQ(NativeName("x\xFF"), "x\xEF\x9F\xBF");  // U+F7FF
  EXPECT_EQ(TextFromNativeName("a\xEF\x9E\x80"
                               "b"),
            "a\x80"
            "b");
}

TEST(NativePathTest, DriveRoots) {
  for (const char* root : {"C:", "c:", "C:\\", "z:/"}) EXPECT_TRUE(IsDriveRoot(root)) << root;
  for (const char* other : {"", "C", "C:\\x", "CC:", "1:", ":\\", "C:\\\\", "/"})
    EXPECT_FALSE(IsDriveRoot(other)) << other;
}

}  // namespace
}  // namespace lirvo
