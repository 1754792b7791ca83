#include "services/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "services/files.h"
#include "services/gbk.h"
#include "services/ini_document.h"
#include "services/native_path.h"
#include "services/profile_cache.h"
#include "support/temp_folder.h"

namespace lirvo {
namespace {

namespace fs = std::filesystem;
using namespace lirvo::literals;

class ProfileTest : public testing::Test {
 protected:
  // The profile under test: "t.ini" in the temporary folder.
  Text Ini() const { return m_folder.Path("t.ini"); }
  fs::path Native() const { return fs::path(m_folder.NativePath()) / "t.ini"; }

  void Put(std::string_view bytes) const {
    std::ofstream out(Native(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Get() const {
    std::ifstream in(Native(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Names in the folder besides t.ini: a temporary file left behind shows here.
  std::vector<std::string> Others() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_folder.NativePath())) {
      if (entry.path().filename() != "t.ini") names.push_back(entry.path().filename());
    }
    return names;
  }

  test::TempFolder m_folder;
};

// ---- Writing: exact bytes --------------------------------------------------------

TEST_F(ProfileTest, FirstWriteCreatesTheFile) {
  EXPECT_TRUE(WriteProfile(Ini(), "小说"_gbk, "书名"_gbk, "D:\\小说\\书名.rar"_gbk));
  EXPECT_EQ(Get(), "[小说]\r\n书名=D:\\小说\\书名.rar\r\n"_gbk);
  EXPECT_EQ(ReadProfile(Ini(), "小说"_gbk, "书名"_gbk), "D:\\小说\\书名.rar"_gbk);
  // Surrounding spaces of the names go; the value is written as given.
  EXPECT_TRUE(WriteProfile(Ini(), " s ", " k ", " v "));
  EXPECT_EQ(Get(), "[小说]\r\n书名=D:\\小说\\书名.rar\r\n[s]\r\nk= v \r\n"_gbk);
  EXPECT_EQ(ReadProfile(Ini(), "s", "k"), "v");
  EXPECT_TRUE(Others().empty());
}

struct WriteCase {
  const char* label;
  std::string before;
  std::string section;
  std::optional<std::string> key;
  std::optional<std::string> value;
  std::string after;
};

class ProfileWriteTest : public ProfileTest, public testing::WithParamInterface<WriteCase> {};

TEST_P(ProfileWriteTest, RewritesOnlyItsOwnLines) {
  const WriteCase& c = GetParam();
  Put(c.before);
  EXPECT_TRUE(WriteProfile(Ini(), c.section, c.key, c.value));
  EXPECT_EQ(Get(), c.after);
  EXPECT_TRUE(Others().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ProfileWriteTest,
    testing::Values(
        WriteCase{"NewKeyAfterLastKeyLine", "[a]\r\nk1=1\r\n;note\r\n\r\n[b]\r\nx=y\r\n", "a", "k2",
                  "2", "[a]\r\nk1=1\r\nk2=2\r\n;note\r\n\r\n[b]\r\nx=y\r\n"},
        WriteCase{"NewKeyInSectionWithoutKeys", "[a]\r\n;only a comment\r\n[b]\r\n", "a", "k", "v",
                  "[a]\r\nk=v\r\n;only a comment\r\n[b]\r\n"},
        WriteCase{"NewKeyAtEndWithoutLineEnd", "[a]\r\nk=1", "a", "j", "2",
                  "[a]\r\nk=1\r\nj=2\r\n"},
        WriteCase{"NewKeyAfterBareHeader", "[a]", "A", "j", "2", "[a]\r\nj=2\r\n"},
        WriteCase{"NewSectionAppended", "[a]\r\nk=1\r\n\r\n", "b", "x", "1",
                  "[a]\r\nk=1\r\n\r\n[b]\r\nx=1\r\n"},
        WriteCase{"NewSectionAfterLastLineWithoutEnd", "[a]\r\nk=1", "b", "x", "1",
                  "[a]\r\nk=1\r\n[b]\r\nx=1\r\n"},
        WriteCase{"NewSectionKeepsOtherLineEnds", "[a]\nk=1\rj=2\n", "b", "x", "1",
                  "[a]\nk=1\rj=2\n[b]\r\nx=1\r\n"},
        WriteCase{"RewriteKeepsSpellingAndPlace", "[Sec]\r\n  KeY = old \r\nz=1\r\n", "sEC", "key",
                  "new", "[Sec]\r\nKeY=new\r\nz=1\r\n"},
        WriteCase{"RewriteKeepsLineEnd", "[a]\nk=1\nj=2\n", "a", "k", "9", "[a]\nk=9\nj=2\n"},
        WriteCase{"RewriteOfLastLineGetsLineEnd", "[a]\nk=1", "a", "k", "2", "[a]\nk=2\r\n"},
        WriteCase{"RewriteFirstOfDuplicates", "[a]\r\nk=1\r\nk=2\r\n[A]\r\nk=3\r\n", "a", "K", "9",
                  "[a]\r\nk=9\r\nk=2\r\n[A]\r\nk=3\r\n"},
        // A value keeps its first line: what a reader of the file gets back.
        WriteCase{"ValueCutAtCrLf", "[a]\r\nk=1\r\nj=2\r\n", "a", "k", "v\r\n[b]\r\nj=9",
                  "[a]\r\nk=v\r\nj=2\r\n"},
        WriteCase{"ValueCutAtCr", "[a]\r\nk=1\r\n", "a", "k", "v\rw=1", "[a]\r\nk=v\r\n"},
        WriteCase{"NewKeyValueCutAtLf", "", "a", "new", "\nk=1", "[a]\r\nnew=\r\n"},
        WriteCase{"DeleteKey", "[a]\r\nk=1\r\n;c\r\nj=2\r\n", "a", "K", std::nullopt,
                  "[a]\r\n;c\r\nj=2\r\n"},
        WriteCase{"DeleteMissingKeyChangesNothing", "[a]\r\nk=1", "a", "x", std::nullopt,
                  "[a]\r\nk=1"},
        WriteCase{"DeleteSectionKeepsComments",
                  "[p]\r\nq=1\r\n[a]\r\nk=1\r\n;c\r\n\r\njunk\r\nj=2\r\n[b]\r\nx=1\r\n", "A",
                  std::nullopt, std::nullopt, "[p]\r\nq=1\r\n;c\r\n\r\njunk\r\n[b]\r\nx=1\r\n"},
        WriteCase{"DeleteFirstSection", "[a]\r\nk=1\r\n[b]\r\nx=1\r\n", "a", std::nullopt, "v",
                  "[b]\r\nx=1\r\n"},
        WriteCase{"DeleteMissingSectionChangesNothing", "[a]\r\nk=1\r\n", "b", std::nullopt,
                  std::nullopt, "[a]\r\nk=1\r\n"},
        // Keys before the first header belong to no section.
        WriteCase{"LinesBeforeFirstHeaderIgnored", "k=1\r\n[a]\r\n", "a", "k", "2",
                  "k=1\r\n[a]\r\nk=2\r\n"},
        WriteCase{"HeaderNameTrimmedAndCutAtBracket", "[ a ] tail\r\nk=1\r\n", "a", "k", "2",
                  "[ a ] tail\r\nk=2\r\n"},
        // A value may hold "=" and ";"; a comment line is never a key.
        WriteCase{"CommentIsNoKey", "[a]\r\n;k=1\r\n", "a", "k", "x=y;z",
                  "[a]\r\nk=x=y;z\r\n;k=1\r\n"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.label); });

TEST_F(ProfileTest, DeletingFromMissingFileCreatesNothing) {
  EXPECT_TRUE(WriteProfile(Ini(), "a", "k"));
  EXPECT_TRUE(WriteProfile(Ini(), "a"));
  EXPECT_FALSE(fs::exists(Native()));
}

TEST_F(ProfileTest, SectionRemovedThenWrittenAgoesToTheEnd) {
  Put("[a]\r\nk=1\r\n[b]\r\nx=1\r\n");
  EXPECT_TRUE(WriteProfile(Ini(), "a"));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k", "gone"), "gone");
  EXPECT_TRUE(WriteProfile(Ini(), "a", "k", "2"));
  EXPECT_EQ(Get(), "[b]\r\nx=1\r\n[a]\r\nk=2\r\n");
}

TEST_F(ProfileTest, DeletedDuplicateKeyRevealsTheNextOne) {
  Put("[a]\r\nk=1\r\nk=2\r\n");
  EXPECT_TRUE(WriteProfile(Ini(), "a", "k"));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "2");
  EXPECT_TRUE(WriteProfile(Ini(), "a", "new", "3"));
  EXPECT_EQ(Get(), "[a]\r\nk=2\r\nnew=3\r\n");
}

TEST_F(ProfileTest, WritesInOrderAfterTheLastKey) {
  Put("[a]\r\nk=1\r\n;below\r\n");
  for (const char* key : {"x", "y", "z"}) EXPECT_TRUE(WriteProfile(Ini(), "a", key, key));
  EXPECT_EQ(Get(), "[a]\r\nk=1\r\nx=x\r\ny=y\r\nz=z\r\n;below\r\n");
}

// ---- Matching names ---------------------------------------------------------------

TEST_F(ProfileTest, NamesMatchIgnoringAsciiCaseOnly) {
  // 丄 is 81 41 and 乤 is 81 61: the trail bytes look like "A" and "a".
  EXPECT_TRUE(WriteProfile(Ini(), "Novel", "丄"_gbk, "upper"));
  EXPECT_TRUE(WriteProfile(Ini(), "NOVEL", "乤"_gbk, "lower"));
  EXPECT_EQ(Get(), "[Novel]\r\n丄=upper\r\n乤=lower\r\n"_gbk);
  EXPECT_EQ(ReadProfile(Ini(), "novel", "丄"_gbk), "upper");
  EXPECT_EQ(ReadProfile(Ini(), "novel", "乤"_gbk), "lower");
  // A one-byte letter after a two-byte character still folds.
  EXPECT_TRUE(WriteProfile(Ini(), "novel", "乗Ab"_gbk, "1"));
  EXPECT_EQ(ReadProfile(Ini(), "NoVeL", "乗aB"_gbk), "1");
  EXPECT_TRUE(WriteProfile(Ini(), "novel", "乗AB"_gbk, "2"));
  EXPECT_EQ(Get(), "[Novel]\r\n丄=upper\r\n乤=lower\r\n乗Ab=2\r\n"_gbk);
}

TEST_F(ProfileTest, LineEndsOfEveryKind) {
  Put("[a]\rk=cr\r[b]\nk=lf\n[c]\r\nk=crlf\r\n\n\r[d]\r\n\rk=mixed");
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "cr");
  EXPECT_EQ(ReadProfile(Ini(), "b", "k"), "lf");
  EXPECT_EQ(ReadProfile(Ini(), "c", "k"), "crlf");
  EXPECT_EQ(ReadProfile(Ini(), "d", "k"), "mixed");
}

// ---- Reading -------------------------------------------------------------------------

struct ReadCase {
  const char* label;
  std::string section, key, defaultValue, expected;
};

class ProfileReadTest : public ProfileTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(ProfileReadTest, Reads) {
  Put("[a]\r\n"
      "plain= spaced value \t\r\n"
      "dq=\"quoted\"\r\n"
      "sq=' inside '\r\n"
      "mixed=\"x'\r\n"
      "one=\"\r\n"
      "inner=a\"b\"\r\n"
      "empty=\r\n"
      "dup=first\r\n"
      "dup=second\r\n"
      "eq=a=b\r\n"
      "[b]\r\n"
      "only=b\r\n"
      "[A]\r\n"
      "late=hidden\r\n");
  const ReadCase& c = GetParam();
  EXPECT_EQ(ReadProfile(Ini(), c.section, c.key, c.defaultValue), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ProfileReadTest,
    testing::Values(ReadCase{"Trimmed", "a", "plain", "d", "spaced value"},
                    ReadCase{"DoubleQuotes", "a", "dq", "", "quoted"},
                    ReadCase{"SingleQuotesKeepInside", "a", "sq", "", " inside "},
                    ReadCase{"MismatchedQuotesStay", "a", "mixed", "", "\"x'"},
                    ReadCase{"LoneQuoteStays", "a", "one", "", "\""},
                    ReadCase{"InnerQuotesStay", "a", "inner", "", "a\"b\""},
                    ReadCase{"EmptyValueIsNoDefault", "a", "empty", "d", ""},
                    ReadCase{"FirstKeyWins", "a", "dup", "", "first"},
                    ReadCase{"ValueHoldsEquals", "a", "eq", "", "a=b"},
                    ReadCase{"KeyInOtherSectionGivesDefault", "a", "only", "def", "def"},
                    ReadCase{"FirstSectionWins", "a", "late", "def", "def"},
                    ReadCase{"MissingSection", "zz", "plain", "def", "def"},
                    ReadCase{"DefaultLosesTrailingSpacesOnly", "a", "nokey", " \tdef  ", " \tdef"},
                    ReadCase{"LeadingControlBytesSkipped",
                             " \t\x01"
                             "a",
                             "\x02 plain", "", "spaced value"},
                    ReadCase{"TrailingSpacesOfNamesIgnored", "a  ", "plain  ", "", "spaced value"},
                    ReadCase{"TabInNameIsKept", "a\t", "plain", "def", "def"},
                    ReadCase{"EmptySectionIgnoresDefault", "", "plain", "def", ""},
                    ReadCase{"BlankSectionIgnoresDefault", " \t", "plain", "def", ""},
                    ReadCase{"EmptyKeyIgnoresDefault", "a", "", "def", ""}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.label); });

TEST_F(ProfileTest, ValueEndsAtAZeroByte) {
  Put(std::string("[a]\r\nz=ab\0cd\r\nq=\"x\0y\"\r\nlead=\0rest\r\n", 35));
  EXPECT_EQ(ReadProfile(Ini(), "a", "z"), "ab");
  EXPECT_EQ(ReadProfile(Ini(), "a", "q"), "x");
  EXPECT_EQ(ReadProfile(Ini(), "a", "lead", "def"), "");
}

TEST_F(ProfileTest, MissingOrEmptyFile) {
  EXPECT_EQ(ReadProfile(Ini(), "a", "k", "def"), "def");
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "");
  EXPECT_EQ(ReadProfile("", "a", "k", "def"), "");
  EXPECT_EQ(ReadProfile("  ", "a", "k", "def"), "");
  Put("");
  EXPECT_EQ(ReadProfile(Ini(), "a", "k", "def"), "def");
  // A folder is no profile.
  EXPECT_EQ(ReadProfile(m_folder.Path(), "a", "k", "def"), "def");
  EXPECT_FALSE(WriteProfile(m_folder.Path(), "a", "k", "v"));
}

TEST_F(ProfileTest, ValuesAreCutToTheBuffer) {
  const std::string longValue(20000, 'v');
  ASSERT_TRUE(WriteProfile(Ini(), "a", "k", "\"" + longValue + "\""));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), std::string(10239, 'v'));
  EXPECT_EQ(ReadProfile(Ini(), "a", "missing", longValue), std::string(10239, 'v'));
  ASSERT_TRUE(WriteProfile(Ini(), "a", "fits", std::string(10239, 'f')));
  EXPECT_EQ(ReadProfile(Ini(), "a", "fits"), std::string(10239, 'f'));
}

// ---- Refused writes ------------------------------------------------------------------

struct RefusedCase {
  const char* label;
  std::string section;
  std::optional<std::string> key;
  std::optional<std::string> value;
};

class ProfileRefusedTest : public ProfileTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(ProfileRefusedTest, LeavesTheFileAlone) {
  const std::string before = "[a]\r\nk=1\r\n;c\r\n";
  Put(before);
  const RefusedCase& c = GetParam();
  EXPECT_FALSE(WriteProfile(Ini(), c.section, c.key, c.value));
  EXPECT_EQ(Get(), before);
  EXPECT_TRUE(Others().empty());
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "1");
}

INSTANTIATE_TEST_SUITE_P(
    Refused, ProfileRefusedTest,
    testing::Values(RefusedCase{"SectionWithCrLf", "a\r\n[b", "k", "v"},
                    RefusedCase{"SectionWithLf", "a\nb", "k", "v"},
                    RefusedCase{"SectionWithCr", "a\rb", std::nullopt, std::nullopt},
                    RefusedCase{"SectionWithBracket", "a]b", "k", "v"},
                    RefusedCase{"SectionDeleteWithBracket", "a]", std::nullopt, std::nullopt},
                    RefusedCase{"KeyWithLf", "a", "k\nj", "v"},
                    RefusedCase{"KeyWithCr", "a", "k\r", std::nullopt},
                    RefusedCase{"KeyWithEquals", "a", "k=j", "v"},
                    RefusedCase{"KeyOpeningSection", "a", " [k", "v"},
                    RefusedCase{"KeyOpeningComment", "a", ";", "-"},
                    RefusedCase{"KeyOpeningCommentAfterTab", "a", "\t;k", "v"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.label); });

TEST_F(ProfileTest, BracketAsTrailByteIsAllowed) {
  // 乚 is 81 5D: its trail byte is "]" but the character is not.
  EXPECT_TRUE(WriteProfile(Ini(), "乚"_gbk, "k", "v"));
  EXPECT_EQ(Get(), "[乚]\r\nk=v\r\n"_gbk);
  EXPECT_EQ(ReadProfile(Ini(), "乚"_gbk, "k"), "v");
  EXPECT_TRUE(WriteProfile(Ini(), "乚"_gbk, "k2", "v2"));
  EXPECT_EQ(Get(), "[乚]\r\nk=v\r\nk2=v2\r\n"_gbk);
}

TEST_F(ProfileTest, FailedWritesLeaveNoTemporaryFile) {
  EXPECT_FALSE(WriteProfile(m_folder.Path("missing\\t.ini"), "a", "k", "v"));
  EXPECT_FALSE(fs::exists(fs::path(m_folder.NativePath()) / "missing"));
  Put("[a]\r\nk=1\r\n");
  fs::permissions(Native(), fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(WriteProfile(Ini(), "a", "k", "2"));
  EXPECT_EQ(Get(), "[a]\r\nk=1\r\n");
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "1");
  EXPECT_TRUE(Others().empty());
}

TEST_F(ProfileTest, KeepsPermissionsAndWritesThroughLinks) {
  Put("[a]\r\nk=1\r\n");
  fs::permissions(Native(), fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(Native(), fs::path(m_folder.NativePath()) / "link.ini");
  EXPECT_TRUE(WriteProfile(m_folder.Path("link.ini"), "a", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(fs::path(m_folder.NativePath()) / "link.ini"));
  EXPECT_EQ(Get(), "[a]\r\nk=2\r\n");
  EXPECT_EQ(fs::status(Native()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

// ---- Changes behind the profile's back ---------------------------------------------

TEST_F(ProfileTest, SeesChangesMadeByOtherServices) {
  ASSERT_TRUE(WriteProfile(Ini(), "a", "k", "1"));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "1");
  // Same size, same inode, within the same clock tick.
  ASSERT_TRUE(WriteFile(Ini(), "[a]\r\nk=2\r\n"));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "2");
  ASSERT_TRUE(WriteFile(m_folder.Path("other.ini"), "[a]\r\nk=3\r\n"));
  ASSERT_TRUE(MoveFileOver(m_folder.Path("other.ini"), Ini()));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "3");
  ASSERT_TRUE(DeleteFile(Ini()));
  EXPECT_EQ(ReadProfile(Ini(), "a", "k", "gone"), "gone");
  Put("[a]\r\nk=4444\r\n");  // outside the services: a new size
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "4444");
  EXPECT_TRUE(WriteProfile(Ini(), "a", "j", "5"));
  EXPECT_EQ(Get(), "[a]\r\nk=4444\r\nj=5\r\n");
}

TEST_F(ProfileTest, RelativePathsFollowTheCurrentFolder) {
  ASSERT_TRUE(CreateFolder(m_folder.Path("one")));
  ASSERT_TRUE(CreateFolder(m_folder.Path("two")));
  ASSERT_TRUE(WriteProfile(m_folder.Path("one\\r.ini"), "a", "k", "one"));
  ASSERT_TRUE(WriteProfile(m_folder.Path("two\\r.ini"), "a", "k", "two"));
  SetProgramFolderForTest(m_folder.Path("one"));
  EXPECT_EQ(ReadProfile("r.ini", "a", "k"), "one");
  SetProgramFolderForTest(m_folder.Path("two"));
  EXPECT_EQ(ReadProfile("r.ini", "a", "k"), "two");
  SetProgramFolderForTest(m_folder.Path());
}

// ---- Appending to the end -------------------------------------------------------------

struct Write {
  std::string section, key, value;
  bool appended;  // the file keeps its inode: the line was added in place
};

struct AppendCase {
  const char* label;
  std::string before;
  std::vector<Write> writes;
};

class ProfileAppendTest : public ProfileTest, public testing::WithParamInterface<AppendCase> {
 protected:
  ino_t Inode() const { return fs::exists(Native()) ? Stat().st_ino : 0; }
  struct stat Stat() const {
    struct stat st {};
    ::stat(Native().c_str(), &st);
    return st;
  }
};

// A line added at the end of the file in place must leave the very bytes a
// whole rewrite leaves, write after write, with the parsed copy kept between.
TEST_P(ProfileAppendTest, GivesTheBytesOfAWholeRewrite) {
  const AppendCase& c = GetParam();
  Put(c.before);
  for (const Write& w : c.writes) {
    SCOPED_TRACE("[" + w.section + "] " + w.key + "=" + w.value);
    const std::string before = Get();
    IniDocument rewritten(before);
    rewritten.Set(w.section, w.key, w.value);
    const ino_t inode = Inode();
    ASSERT_TRUE(WriteProfile(Ini(), w.section, w.key, w.value));
    EXPECT_EQ(Get(), rewritten.Bytes());
    EXPECT_EQ(Inode() == inode, w.appended);
    EXPECT_EQ(ReadProfile(Ini(), w.section, w.key), w.value);
  }
  EXPECT_TRUE(Others().empty());
}

// A file whose size leaves `room` bytes on its last page of 4096.
std::string FillPage(std::size_t room) {
  const std::string head = "[a]\r\nk=";
  return head + std::string(4096 - room - head.size() - 2, 'x') + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Appends, ProfileAppendTest,
    testing::Values(
        AppendCase{"NewKeysAtTheEnd",
                   "[a]\r\nk=1\r\n",
                   {{"a", "n1", "1", true}, {"A", "n2", "2", true}, {"a", "N1", "3", false}}},
        AppendCase{"LastLineWithoutEnd", "[a]\r\nk=1", {{"a", "j", "2", true}}},
        AppendCase{"LinesAfterTheLastKey",
                   "[a]\r\nk=1\r\n;c\r\n",
                   {{"a", "j", "2", false}, {"b", "x", "1", true}}},
        AppendCase{"NewSectionThenKeysOfBoth",
                   "[a]\r\nk=1\n",
                   {{"b", "x", "1", true}, {"a", "m", "2", false}, {"b", "y", "2", true}}},
        AppendCase{"ChangeInsideThenAppend",
                   "[a]\r\nk=1\r\nj=1\r\n",
                   {{"a", "k", "22", false}, {"a", "n", "3", true}}},
        AppendCase{
            "LineCrossingAPage", FillPage(8), {{"a", "n", "12345", true}, {"a", "m", "1", true}}},
        AppendCase{"LineEndingOnThePageEnd", FillPage(9), {{"a", "n", "12345", true}}}),
    [](const testing::TestParamInfo<AppendCase>& info) { return std::string(info.param.label); });

TEST_F(ProfileTest, SameValueLeavesTheFileUntouched) {
  Put("[a]\r\nk=1\r\n");
  ASSERT_TRUE(WriteProfile(Ini(), "a", "k", "1"));  // the copy is parsed
  struct stat before {};
  ASSERT_EQ(::stat(Native().c_str(), &before), 0);
  EXPECT_TRUE(WriteProfile(Ini(), "A", "K", "1"));
  struct stat after {};
  ASSERT_EQ(::stat(Native().c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(Get(), "[a]\r\nk=1\r\n");
}

// Another program edits the index between two of the run's writes, in place
// and at the same size, or by adding a line: the next write builds on its
// content.
TEST_F(ProfileTest, OutsideEditsBetweenTwoWritesAreKept) {
  Put("[a]\r\nk=1\r\n");
  ASSERT_TRUE(WriteProfile(Ini(), "a", "n", "1"));
  {
    std::fstream edit(Native(), std::ios::in | std::ios::out | std::ios::binary);
    edit.seekp(7);
    edit << '2';
  }
  ASSERT_TRUE(WriteProfile(Ini(), "a", "m", "1"));
  EXPECT_EQ(Get(), "[a]\r\nk=2\r\nn=1\r\nm=1\r\n");
  EXPECT_EQ(ReadProfile(Ini(), "a", "k"), "2");
  std::ofstream(Native(), std::ios::binary | std::ios::app) << "o=9\r\n";
  ASSERT_TRUE(WriteProfile(Ini(), "a", "p", "1"));
  EXPECT_EQ(Get(), "[a]\r\nk=2\r\nn=1\r\nm=1\r\no=9\r\np=1\r\n");
}

// On exFAT (and FAT) file times are coarse: an edit of the same size right
// after a write can leave every stamp as it was. Here the test puts the old
// times back itself; the next write must still build on the edit.
TEST_F(ProfileTest, OutsideSameSizeEditOnExfatIsSeen) {
  const char* folder = std::getenv("LIRVO_EXFAT_FOLDER");
  if (folder == nullptr) GTEST_SKIP() << "no exFAT folder: tests/collect/exfat_check.sh gives one";
  const std::string native = std::string(folder) + "/edit.ini";
  const Text ini = Utf8ToGbk(native);
  std::ofstream(native, std::ios::binary | std::ios::trunc) << "[a]\r\nk=1\r\n";
  ASSERT_TRUE(WriteProfile(ini, "a", "n", "1"));
  struct stat before {};
  ASSERT_EQ(::stat(native.c_str(), &before), 0);
  {
    std::fstream edit(native, std::ios::in | std::ios::out | std::ios::binary);
    edit.seekp(7);
    edit << '2';
  }
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), times, 0), 0);
  struct stat after {};
  ASSERT_EQ(::stat(native.c_str(), &after), 0);
  ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  ASSERT_EQ(after.st_ctim.tv_sec, before.st_ctim.tv_sec) << "this file system keeps change times";
  EXPECT_EQ(ReadProfile(ini, "a", "k"), "2");
  ASSERT_TRUE(WriteProfile(ini, "a", "m", "1"));
  std::ifstream in(native, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), "[a]\r\nk=2\r\nn=1\r\nm=1\r\n");
}

// ---- A writer that died ------------------------------------------------------------

// A writer killed inside its one write leaves the first n bytes of its line,
// for every n. The next write cuts a piece that is no key line, ends one that
// is, and adds its own line at the end of the same file; writing the torn title
// again gives it its whole value.
TEST_F(ProfileTest, TornLastLineOfEveryLengthIsMended) {
  const std::string head = "[小说]\r\n旧书=D:\\旧书.rar\r\n"_gbk;
  const std::string torn = "新书=D:\\小说\\新书.rar\r\n"_gbk;
  const std::size_t keyEnd = torn.find('=');
  for (std::size_t n = 1; n < torn.size(); ++n) {
    SCOPED_TRACE("torn after " + std::to_string(n) + " bytes");
    DropProfile(Native());
    Put(head + torn.substr(0, n));
    ASSERT_TRUE(WriteProfile(Ini(), "小说"_gbk, "后书"_gbk, "1"));
    const std::string prefix = torn.substr(0, n);
    const std::string kept = n <= keyEnd            ? std::string()
                             : n == torn.size() - 1 ? prefix  // ended by its CR
                                                    : prefix + "\r\n";
    EXPECT_EQ(Get(), head + kept + "后书=1\r\n"_gbk);
    ASSERT_TRUE(WriteProfile(Ini(), "小说"_gbk, "新书"_gbk, "D:\\小说\\新书.rar"_gbk));
    EXPECT_EQ(ReadProfile(Ini(), "小说"_gbk, "新书"_gbk), "D:\\小说\\新书.rar"_gbk);
    EXPECT_EQ(ReadProfile(Ini(), "小说"_gbk, "旧书"_gbk), "D:\\旧书.rar"_gbk);
    EXPECT_TRUE(Others().empty());
  }
}

// Earlier versions noted appends in an extended attribute; a note of any
// length left behind must not stop a write, and goes.
TEST_F(ProfileTest, OldAppendNoteIsRemoved) {
  Put("[a]\r\nk=1\r\n");
  const std::string note(70, '9');
  if (::setxattr(Native().c_str(), "user.lirvo.append", note.data(), note.size(), 0) != 0)
    GTEST_SKIP() << "this file system keeps no user attributes";
  ASSERT_TRUE(WriteProfile(Ini(), "a", "n", "2"));
  EXPECT_EQ(Get(), "[a]\r\nk=1\r\nn=2\r\n");
  char value[128];
  EXPECT_LT(::getxattr(Native().c_str(), "user.lirvo.append", value, sizeof value), 0);
}

// ---- A large index ---------------------------------------------------------------------

// Its timing is in bench/profile_bench.cpp.
TEST_F(ProfileTest, LargeIndexTakesNewTitlesAtTheEnd) {
  constexpr int kTitles = 100000;
  const Text section = "小说"_gbk;
  const Text folder = "\\小说\\完本\\玄幻\\"_gbk;
  const Text book = "书"_gbk;
  const Text fresh = "新"_gbk;
  std::string bytes = "[" + section + "]\r\n";
  for (int i = 0; i < kTitles; ++i) {
    bytes +=
        book + std::to_string(i) + "=" + m_folder.Path() + folder + std::to_string(i) + ".rar\r\n";
  }
  Put(bytes);
  EXPECT_EQ(ReadProfile(Ini(), section, "书99999"_gbk), m_folder.Path() + folder + "99999.rar");

  constexpr int kRounds = 20;
  for (int i = 0; i < kRounds; ++i) {
    Text key = fresh + std::to_string(i);
    Text line = key + "=" + m_folder.Path() + folder + key + ".rar";
    ASSERT_TRUE(WriteProfile(Ini(), section, key, m_folder.Path() + folder + key + ".rar"));
    bytes += line + "\r\n";
  }
  // A title collected again: its line changes in place.
  const Text again = m_folder.Path() + "\\小说\\完本\\仙侠\\7.rar"_gbk;
  ASSERT_TRUE(WriteProfile(Ini(), section, book + "7", again));
  const std::string old7 = book + "7=" + m_folder.Path() + folder + "7.rar\r\n";
  bytes.replace(bytes.find(old7), old7.size(), book + "7=" + again + "\r\n");
  EXPECT_EQ(Get(), bytes);
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_EQ(ReadProfile(Ini(), section, book + std::to_string(i * 4999 + 1)),
              m_folder.Path() + folder + std::to_string(i * 4999 + 1) + ".rar");
  }
  EXPECT_EQ(ReadProfile(Ini(), section, "新0"_gbk), m_folder.Path() + folder + "新0.rar"_gbk);
  EXPECT_EQ(ReadProfile(Ini(), section, book + "7"), again);
}

}  // namespace
}  // namespace lirvo
