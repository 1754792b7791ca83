// A profile written in this process is read from the parsed copy kept for it;
// that copy must answer as a fresh read of the file would.
#include <gtest/gtest.h>

#include "services/files.h"
#include "services/native_path.h"
#include "services/profile.h"
#include "services/profile_cache.h"
#include "support/temp_folder.h"

namespace lirvo {
namespace {

class ProfileRereadTest : public testing::Test {
 protected:
  Text Ini() const { return m_folder.Path("t.ini"); }
  Text Kept(const Text& section, const Text& key) const {
    return ReadProfile(Ini(), section, key, "<absent>");
  }
  Text Fresh(const Text& section, const Text& key) const {
    DropProfile(NativePath(Ini()));
    return ReadProfile(Ini(), section, key, "<absent>");
  }

  test::TempFolder m_folder;
};

struct NameCase {
  const char* label;
  Text section;
  Text key;
  // Names a read finds and what it gives there ("" for none).
  Text foundSection, foundKey, found;
};

class ProfileRereadNameTest : public ProfileRereadTest,
                              public testing::WithParamInterface<NameCase> {};

// Blanks around a name are written into the file but fall away when the line
// is read.
TEST_P(ProfileRereadNameTest, KeptCopyAnswersAsTheFile) {
  const NameCase& c = GetParam();
  ASSERT_TRUE(WriteFile(Ini(), "[a]\r\nk=1\r\n"));
  ASSERT_TRUE(WriteProfile(Ini(), c.section, c.key, "v"));
  for (const auto& [section, key] : {std::pair{c.section, c.key}, {c.foundSection, c.foundKey}}) {
    SCOPED_TRACE("[" + section + "] " + key);
    const Text kept = Kept(section, key);
    EXPECT_EQ(kept, Fresh(section, key));
  }
  if (!c.foundKey.empty()) {
    EXPECT_EQ(Kept(c.foundSection, c.foundKey), c.found);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProfileRereadNameTest,
    testing::Values(NameCase{"KeyWithTrailingTab", "a", "n\t", "a", "n", "v"},
                    NameCase{"KeyWithVerticalTab", "a", "\vn", "a", "n", "v"},
                    NameCase{"NewSectionWithTab", "b\t", "n", "b", "n", "v"},
                    // A second line of the old key's name: the old line stays first.
                    NameCase{"TabbedTwinOfAKey", "a", "k\t", "a", "k", "1"}),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.label); });

TEST_F(ProfileRereadTest, NewKeysGoAfterTheLastKeyNotAfterAComment) {
  ASSERT_TRUE(WriteFile(Ini(), "[a]\r\nk=1\r\n;c=x\r\n"));
  ASSERT_TRUE(WriteProfile(Ini(), "a", "n", "2"));
  EXPECT_EQ(ReadFile(Ini()), "[a]\r\nk=1\r\nn=2\r\n;c=x\r\n");
}

TEST_F(ProfileRereadTest, SectionEndingInACutCharacterIsRefused) {
  // The lead byte would take the closing "]" as its second byte.
  ASSERT_TRUE(WriteFile(Ini(), "[a]\r\nk=1\r\n"));
  EXPECT_FALSE(WriteProfile(Ini(), "s\xB7", "k", "v"));
  EXPECT_EQ(ReadFile(Ini()), "[a]\r\nk=1\r\n");
  // A whole character before the "]" is fine.
  EXPECT_TRUE(WriteProfile(Ini(), "s\xB7\xA2", "k", "v"));
  EXPECT_EQ(Fresh("s\xB7\xA2", "k"), "v");
}

}  // namespace
}  // namespace lirvo
