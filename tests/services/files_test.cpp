#include "services/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "services/gbk.h"
#include "support/temp_folder.h"

namespace lirvo {
namespace {

namespace fs = std::filesystem;
using namespace lirvo::literals;

// Helpers that work on the disk directly, by native (UTF-8) paths.
void Put(const fs::path& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary);
  out << content;
}

std::string Get(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void MakeReadOnly(const fs::path& path) {
  ::chmod(path.c_str(), 0444);
}

class FilesTest : public testing::Test {
 protected:
  fs::path Native(const std::string& relative) const {
    return fs::path(m_folder.NativePath()) / relative;
  }
  Text At(const Text& relative) const { return m_folder.Path(relative); }

  test::TempFolder m_folder;
};

// ---- Program folder -------------------------------------------------------------

TEST_F(FilesTest, ProgramFolderIsTheTestFolderAndCurrent) {
  EXPECT_EQ(ProgramFolder(), m_folder.Path());
  EXPECT_EQ(fs::current_path(), fs::path(m_folder.NativePath()));
  // Relative paths resolve against the program folder.
  ASSERT_TRUE(WriteFile("rel.txt", "r"));
  EXPECT_EQ(Get(Native("rel.txt")), "r");
}

TEST_F(FilesTest, InitProgramFolderUsesTheExecutable) {
  InitProgramFolder();
  Text folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_EQ(fs::path(GbkToUtf8(folder)), fs::canonical("/proc/self/exe").parent_path());
  EXPECT_EQ(fs::current_path(), fs::path(GbkToUtf8(folder)));
  SetProgramFolderForTest(m_folder.Path());
}

// ---- CreateFolder -----------------------------------------------------------------

TEST_F(FilesTest, CreateFolderMakesOnlyTheLastLevel) {
  EXPECT_TRUE(CreateFolder(At("小说"_gbk)));
  EXPECT_TRUE(fs::is_directory(Native("小说")));
  EXPECT_FALSE(CreateFolder(At("小说"_gbk)));      // exists already
  EXPECT_FALSE(CreateFolder(At("缺\\完本"_gbk)));  // parent missing
  EXPECT_FALSE(fs::exists(Native("缺")));
  EXPECT_TRUE(CreateFolder(At("小说\\完本\\"_gbk)));  // trailing separator
  EXPECT_TRUE(fs::is_directory(Native("小说/完本")));
  Put(Native("file"), "x");
  EXPECT_FALSE(CreateFolder(At("file")));  // a file of that name
  EXPECT_FALSE(CreateFolder(""));
}

// ---- DeleteFolder -----------------------------------------------------------------

class DeleteFolderTest : public FilesTest {
 protected:
  // cache/ a.html, sub/ b.html, sub/deeper/ c.html
  void MakeTree() {
    fs::create_directories(Native("cache/sub/deeper"));
    Put(Native("cache/a.html"), "a");
    Put(Native("cache/sub/b.html"), "b");
    Put(Native("cache/sub/deeper/c.html"), "c");
  }
};

TEST_F(DeleteFolderTest, RemovesTheWholeTree) {
  MakeTree();
  EXPECT_TRUE(DeleteFolder(At("cache")));
  EXPECT_FALSE(fs::exists(Native("cache")));
}

TEST_F(DeleteFolderTest, LeadingSpacesAreSkipped) {
  MakeTree();
  EXPECT_TRUE(DeleteFolder("   " + At("cache\\")));
  EXPECT_FALSE(fs::exists(Native("cache")));
  MakeTree();
  EXPECT_TRUE(DeleteFolder("  cache"));  // relative to the program folder
  EXPECT_FALSE(fs::exists(Native("cache")));
}

TEST_F(DeleteFolderTest, DotEntriesStayAndKeepTheFolder) {
  MakeTree();
  Put(Native("cache/sub/.keep"), "k");
  fs::create_directories(Native("cache/.hidden"));
  Put(Native("cache/.hidden/x"), "x");
  EXPECT_FALSE(DeleteFolder(At("cache")));
  EXPECT_TRUE(fs::exists(Native("cache/sub/.keep")));
  EXPECT_TRUE(fs::exists(Native("cache/.hidden/x")));
  EXPECT_FALSE(fs::exists(Native("cache/a.html")));
  EXPECT_FALSE(fs::exists(Native("cache/sub/deeper")));
}

TEST_F(DeleteFolderTest, ReadOnlyFileStays) {
  MakeTree();
  MakeReadOnly(Native("cache/sub/b.html"));
  EXPECT_FALSE(DeleteFolder(At("cache")));
  EXPECT_TRUE(fs::exists(Native("cache/sub/b.html")));
  EXPECT_FALSE(fs::exists(Native("cache/a.html")));
}

TEST_F(DeleteFolderTest, LinksAreRemovedNeverEntered) {
  MakeTree();
  fs::create_directories(Native("outside/inner"));
  Put(Native("outside/keep.txt"), "keep");
  Put(Native("outside/inner/keep2.txt"), "keep2");
  fs::create_directory_symlink(Native("outside"), Native("cache/sub/to-folder"));
  fs::create_symlink(Native("outside/keep.txt"), Native("cache/to-file"));
  fs::create_symlink(Native("nowhere"), Native("cache/dangling"));

  EXPECT_TRUE(DeleteFolder(At("cache")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Native("cache"))));
  EXPECT_EQ(Get(Native("outside/keep.txt")), "keep");
  EXPECT_EQ(Get(Native("outside/inner/keep2.txt")), "keep2");
}

TEST_F(DeleteFolderTest, LinkGivenAsTheFolderIsNotEntered) {
  fs::create_directories(Native("outside"));
  Put(Native("outside/keep.txt"), "keep");
  fs::create_directory_symlink(Native("outside"), Native("link"));
  EXPECT_FALSE(DeleteFolder(At("link")));
  EXPECT_FALSE(DeleteFolder(At("link\\")));
  EXPECT_EQ(Get(Native("outside/keep.txt")), "keep");
}

TEST_F(DeleteFolderTest, RootsAndEmptyPathsAreRefused) {
  // Folders named like drive roots exist here, relative to the current
  // directory: a refused call must leave them alone.
  fs::create_directories(Native("C:"));
  Put(Native("C:/inside"), "i");
  for (const char* path : {"C:", "C:\\", "  C:", "", "   "}) {
    EXPECT_FALSE(DeleteFolder(path)) << path;
  }
  EXPECT_TRUE(fs::exists(Native("C:/inside")));
  // The file-system root, however it is spelled. Nothing is listed: a
  // probe file at the top of the temporary folder would be a dot-free
  // target, so it proves nothing was deleted.
  Put(Native("probe"), "p");
  for (const char* path : {"/", "\\", "//", "/..", "\\.\\"}) {
    EXPECT_FALSE(DeleteFolder(path)) << path;
  }
  EXPECT_TRUE(fs::exists(Native("probe")));
  EXPECT_FALSE(DeleteFolder(At("missing")));
}

// ---- FileSize ---------------------------------------------------------------------

TEST_F(FilesTest, FileSize) {
  fs::create_directories(Native("arch/sub.rar"));
  Put(Native("arch/empty.txt"), "");
  Put(Native("arch/b.rar"), "12345");
  Put(Native("arch/c.rar"), "1234567");
  Put(Native("arch/noext"), "12");
  struct Case {
    const char* pattern;
    int size;
  } cases[] = {
      {"arch\\missing.rar", -1},
      {"arch\\empty.txt", 0},
      {"arch\\b.rar", 5},
      {"arch\\sub.rar", 0},  // a folder matches and gives 0
      {"arch\\*.rar", 5},    // b.rar comes first, sub.rar is listed after c.rar
      {"arch\\c*", 7},
      {"arch\\?.rar", 5},
      {"arch\\*.*", 0},  // "." comes first, as on Windows
      {"arch\\e*.*", 0},
      {"arch\\n*.*", 2},  // "*.*" also takes names without a dot
      {"arch\\*.zip", -1},
      {"nofolder\\*.rar", -1},
      {"arch\\", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FileSize(c.pattern), c.size) << c.pattern;
  EXPECT_EQ(FileSize(At("arch\\b.rar")), 5);
}

TEST_F(FilesTest, PatternsIgnoreAsciiCaseOnly) {
  fs::create_directories(Native("arch"));
  Put(Native("arch/X.RAR"), "123");
  Put(Native("arch/Ä.txt"), "1234");
  EXPECT_EQ(FileSize(At("arch\\*.rar")), 3);
  EXPECT_EQ(FileSize(At("arch\\x.*")), 3);
  EXPECT_EQ(FileSize(At("arch\\ä*"_gbk)), -1);  // no case beyond ASCII
}

TEST_F(FilesTest, ExactFileSizeTakesWildcardsAsCharacters) {
  fs::create_directories(Native("arch/dir?"));
  Put(Native("arch/你好吗.rar"), std::string(40000, 'x'));
  Put(Native("arch/你好?.jpg"), "12");
  EXPECT_EQ(FileSize(At("arch\\你好?.rar"_gbk)), 40000);  // a pattern
  EXPECT_EQ(ExactFileSize(At("arch\\你好?.rar"_gbk)), -1);
  EXPECT_EQ(ExactFileSize(At("arch\\*.rar")), -1);
  EXPECT_EQ(ExactFileSize(At("arch\\你好?.jpg"_gbk)), 2);
  EXPECT_EQ(ExactFileSize(At("arch\\dir?")), 0);
  EXPECT_EQ(ExactFileSize(At("arch\\")), -1);
  EXPECT_EQ(ExactFileSize(""), -1);
}

// ---- ReadFile, WriteFile, MoveFileOver, DeleteFile -----------------------------------

TEST_F(FilesTest, WriteAndReadBack) {
  const std::string binary("a\0b\x1A\xFF", 5);
  EXPECT_TRUE(WriteFile(At("x.bin"), {"head-", binary, "", "-tail"}));
  EXPECT_EQ(ReadFile(At("x.bin")), "head-" + binary + "-tail");
  // Truncates a longer file.
  EXPECT_TRUE(WriteFile(At("x.bin"), "short"));
  EXPECT_EQ(Get(Native("x.bin")), "short");
}

TEST_F(FilesTest, WriteFileEdges) {
  EXPECT_FALSE(WriteFile(At("missing\\x.txt"), "x"));
  EXPECT_FALSE(fs::exists(Native("missing")));
  EXPECT_FALSE(WriteFile("", "x"));
  // The empty byte set still creates (or empties) the file.
  EXPECT_TRUE(WriteFile(At("empty.txt"), ""));
  ASSERT_TRUE(fs::exists(Native("empty.txt")));
  EXPECT_EQ(fs::file_size(Native("empty.txt")), 0u);
  // A read-only file is not written.
  Put(Native("ro.txt"), "old");
  MakeReadOnly(Native("ro.txt"));
  EXPECT_FALSE(WriteFile(At("ro.txt"), "new"));
  EXPECT_EQ(Get(Native("ro.txt")), "old");
  // A folder cannot be written as a file.
  fs::create_directories(Native("dir"));
  EXPECT_FALSE(WriteFile(At("dir"), "x"));
}

TEST_F(FilesTest, ReadFileEdges) {
  EXPECT_EQ(ReadFile(At("missing.txt")), "");
  EXPECT_EQ(ReadFile(""), "");
  fs::create_directories(Native("dir"));
  EXPECT_EQ(ReadFile(At("dir")), "");
}

TEST_F(FilesTest, WriteFileWholeAtTheNameLimit) {
  // The temporary file beside it must not need a longer name than the file.
  const Text name = std::string(251, 'n') + ".ini";
  ASSERT_EQ(name.size(), 255u);
  EXPECT_TRUE(WriteFileWhole(At(name), "intro"));
  EXPECT_EQ(Get(Native(name)), "intro");
}

TEST_F(FilesTest, TemporaryFilesAreUniqueToTheProcessAndCall) {
  const Text first = TemporaryFileIn(At("d"));
  const Text second = TemporaryFileIn(At("d"));
  EXPECT_NE(first, second);
  const Text name = first.substr(first.rfind('\\') + 1);
  EXPECT_EQ(name.rfind(".lirvo-" + std::to_string(::getpid()) + "-", 0), 0u) << name;
  EXPECT_TRUE(IsTemporaryFileName(name));
  EXPECT_TRUE(IsTemporaryFileName(".lirvo-download.tmp"));  // left by earlier versions
  for (const char* other : {".lirvo-1-2.tmp.rar", ".lirvo--2.tmp", ".NET.rar", "a.tmp"})
    EXPECT_FALSE(IsTemporaryFileName(other)) << other;
}

TEST_F(FilesTest, WriteFileWholeReplacesTheFileAndLeavesNothingElse) {
  EXPECT_TRUE(WriteFileWhole(At("intro.ini"), "first"));
  fs::permissions(Native("intro.ini"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_TRUE(WriteFileWhole(At("intro.ini"), "second"));
  EXPECT_EQ(Get(Native("intro.ini")), "second");
  EXPECT_EQ(fs::status(Native("intro.ini")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // Through a link the file it names is replaced, and the link stays.
  fs::create_symlink("intro.ini", Native("link.ini"));
  EXPECT_TRUE(WriteFileWhole(At("link.ini"), "third"));
  EXPECT_TRUE(fs::is_symlink(Native("link.ini")));
  EXPECT_EQ(Get(Native("intro.ini")), "third");
  // Refused: read-only, a missing folder, a folder.
  Put(Native("ro.txt"), "old");
  MakeReadOnly(Native("ro.txt"));
  EXPECT_FALSE(WriteFileWhole(At("ro.txt"), "new"));
  EXPECT_EQ(Get(Native("ro.txt")), "old");
  EXPECT_FALSE(WriteFileWhole(At("missing\\x.txt"), "x"));
  fs::create_directories(Native("dir"));
  EXPECT_FALSE(WriteFileWhole(At("dir"), "x"));
  std::set<std::string> names;
  for (const auto& item : fs::directory_iterator(m_folder.NativePath()))
    names.insert(item.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"dir", "intro.ini", "link.ini", "ro.txt"}))
      << "no temporary file is left behind";
}

TEST_F(FilesTest, MoveFileOverReplacesInOneStep) {
  Put(Native("new.ini"), "new");
  Put(Native("old.ini"), "old");
  EXPECT_TRUE(MoveFileOver(At("new.ini"), At("old.ini")));
  EXPECT_EQ(Get(Native("old.ini")), "new");
  EXPECT_FALSE(fs::exists(Native("new.ini")));
  EXPECT_FALSE(MoveFileOver(At("gone.ini"), At("old.ini")));
  EXPECT_EQ(Get(Native("old.ini")), "new");
  Put(Native("a"), "a");
  Put(Native("ro"), "ro");
  MakeReadOnly(Native("ro"));
  EXPECT_FALSE(MoveFileOver(At("a"), At("ro")));
  EXPECT_EQ(Get(Native("ro")), "ro");
}

TEST_F(FilesTest, DeleteFile) {
  Put(Native("a.txt"), "a");
  EXPECT_TRUE(DeleteFile(At("a.txt")));
  EXPECT_FALSE(fs::exists(Native("a.txt")));
  EXPECT_FALSE(DeleteFile(At("a.txt")));
  fs::create_directories(Native("dir"));
  EXPECT_FALSE(DeleteFile(At("dir")));
  Put(Native("ro.txt"), "r");
  MakeReadOnly(Native("ro.txt"));
  EXPECT_FALSE(DeleteFile(At("ro.txt")));
  EXPECT_TRUE(fs::exists(Native("ro.txt")));
}

// ---- OpenFile and ReadTextFromFile -------------------------------------------------

TEST_F(FilesTest, OpenFileChecksModeAndSharing) {
  Put(Native("a.txt"), "abc");
  struct Case {
    int mode, sharing;
    bool opens;
  } cases[] = {{0, 1, false}, {7, 1, false}, {-1, 1, false}, {1, 0, false}, {1, 5, false},
               {1, 1, true},  {2, 2, true},  {3, 3, true},   {6, 4, true}};
  for (const auto& c : cases) {
    int number = OpenFile(At("a.txt"), c.mode, c.sharing);
    EXPECT_EQ(number != 0, c.opens) << c.mode << "/" << c.sharing;
    CloseFile(number);
  }
  EXPECT_EQ(OpenFile(""), 0);
  fs::create_directories(Native("dir"));
  EXPECT_EQ(OpenFile(At("dir"), 1), 0);
  EXPECT_EQ(Get(Native("a.txt")), "abc");  // none of these changed the file
}

TEST_F(FilesTest, OpenFileModesCreateAndTruncate) {
  EXPECT_EQ(OpenFile(At("m1"), 1), 0);  // missing: 1..3 need the file
  EXPECT_EQ(OpenFile(At("m2"), 2), 0);
  EXPECT_EQ(OpenFile(At("m3")), 0);
  EXPECT_FALSE(fs::exists(Native("m1")));

  Put(Native("t4"), "data");
  Put(Native("t5"), "data");
  int n4 = OpenFile(At("t4"), 4);
  int n5 = OpenFile(At("t5"), 5);
  int n6 = OpenFile(At("new6"), 6);
  EXPECT_NE(n4, 0);
  EXPECT_NE(n5, 0);
  EXPECT_NE(n6, 0);
  EXPECT_NE(n4, n5);
  EXPECT_NE(n5, n6);
  EXPECT_EQ(fs::file_size(Native("t4")), 0u);  // truncated
  EXPECT_EQ(Get(Native("t5")), "data");        // kept
  EXPECT_TRUE(fs::exists(Native("new6")));     // created
  for (int n : {n4, n5, n6}) CloseFile(n);
}

TEST_F(FilesTest, DefaultModeOnReadOnlyFileGivesNoFile) {
  Put(Native("ro.txt"), "text");
  MakeReadOnly(Native("ro.txt"));
  int number = OpenFile(At("ro.txt"));
  EXPECT_EQ(number, 0);
  EXPECT_EQ(ReadTextFromFile(number), "");
  int reading = OpenFile(At("ro.txt"), 1);
  EXPECT_NE(reading, 0);
  EXPECT_EQ(ReadTextFromFile(reading), "text");
  CloseFile(reading);
}

class ReadTextTest : public FilesTest {
 protected:
  int Open(std::string_view content) {
    Put(Native("t.txt"), content);
    m_number = OpenFile(At("t.txt"), 1);
    EXPECT_NE(m_number, 0);
    return m_number;
  }
  void TearDown() override { CloseFile(m_number); }
  int m_number = 0;
};

TEST_F(ReadTextTest, StopsOnTheEndOfFileMarkAndStaysThere) {
  int n = Open(
      "ab\x1A"
      "cd");
  EXPECT_EQ(ReadTextFromFile(n), "ab");
  EXPECT_EQ(ReadTextFromFile(n), "");  // still on the 0x1A byte
  EXPECT_EQ(ReadTextFromFile(n, 10), "");
}

TEST_F(ReadTextTest, StopsOnZeroByte) {
  int n = Open(std::string("ab\0cd", 5));
  EXPECT_EQ(ReadTextFromFile(n), "ab");
  EXPECT_EQ(ReadTextFromFile(n), "");
}

TEST_F(ReadTextTest, TerminatorsInsideCharactersDoNotCount) {
  // B0 1A is one character; B0 00 drops the lead byte and the 0 ends the text.
  int n =
      Open(std::string("a\xB0\x1A"
                       "b\xB0\0"
                       "z",
                       7));
  EXPECT_EQ(ReadTextFromFile(n),
            "a\xB0\x1A"
            "b");
  // The position is on the 0 byte, so the next read ends at once.
  EXPECT_EQ(ReadTextFromFile(n), "");
}

TEST_F(ReadTextTest, LeadByteAtTheEndIsKept) {
  int n = Open("ab\xB0");
  EXPECT_EQ(ReadTextFromFile(n), "ab\xB0");
}

TEST_F(ReadTextTest, LengthsAndPositions) {
  int n = Open("abcdef");
  EXPECT_EQ(ReadTextFromFile(n, 0), "");
  EXPECT_EQ(ReadTextFromFile(n, -5), "");
  EXPECT_EQ(ReadTextFromFile(n, 2), "ab");
  EXPECT_EQ(ReadTextFromFile(n, 2), "cd");
  EXPECT_EQ(ReadTextFromFile(n), "ef");  // the rest, though asked for six bytes
  EXPECT_EQ(ReadTextFromFile(n), "");
  EXPECT_EQ(ReadTextFromFile(n, INT_MAX), "");
}

TEST_F(ReadTextTest, UnknownAndClosedNumbers) {
  EXPECT_EQ(ReadTextFromFile(0), "");
  EXPECT_EQ(ReadTextFromFile(987654), "");
  int n = Open("abc");
  CloseFile(n);
  EXPECT_EQ(ReadTextFromFile(n), "");
  CloseFile(n);  // a second close does nothing
}

// ---- FindFile ----------------------------------------------------------------------

class FindFileTest : public FilesTest {
 protected:
  std::vector<Text> All(const Text& pattern, int filter, int filesOnly) {
    std::vector<Text> names;
    int state = 0;
    for (Text name = FindFile(pattern, filter, filesOnly, state); !name.empty();
         name = FindFile("", filter, filesOnly, state)) {
      names.push_back(name);
      EXPECT_NE(state, 0);
    }
    EXPECT_EQ(state, 0);
    return names;
  }
};

TEST_F(FindFileTest, TwoFilesAndOneFolder) {
  fs::create_directories(Native("cat/sub"));
  Put(Native("cat/b.rar"), "b");
  Put(Native("cat/a.rar"), "a");
  int state = 0;
  EXPECT_EQ(FindFile(At("cat\\*.*"), 0, 1, state), "a.rar");
  int first = state;
  EXPECT_NE(first, 0);
  EXPECT_EQ(FindFile("", 0, 1, state), "b.rar");
  EXPECT_EQ(state, first);
  EXPECT_EQ(FindFile("", 0, 1, state), "");
  EXPECT_EQ(state, 0);
  EXPECT_EQ(FindFile("", 0, 1, state), "");  // nothing open
}

TEST_F(FindFileTest, GbkNamesRoundTrip) {
  fs::create_directories(Native("乗"));
  const Text name = "乗り物.rar"_gbk;  // 乗 ends in the byte 5C
  ASSERT_TRUE(WriteFile(At("乗\\"_gbk + name), "12345"));
  EXPECT_TRUE(fs::exists(Native("乗/乗り物.rar")));
  EXPECT_EQ(All(At("乗\\*.rar"_gbk), 0, 1), std::vector<Text>{name});
  EXPECT_EQ(FileSize(At("乗\\"_gbk + name)), 5);
  EXPECT_EQ(FileSize(At("乗\\乗*"_gbk)), 5);
}

TEST_F(FindFileTest, PatternsAndAttributes) {
  fs::create_directories(Native("d/sub"));
  Put(Native("d/a.rar"), "");
  Put(Native("d/noext"), "");
  Put(Native("d/.dotted"), "");          // an ordinary file
  Put(Native("d/.lirvo-77-1.tmp"), "");  // the program's own, hidden
  Put(Native("d/ro.txt"), "");
  MakeReadOnly(Native("d/ro.txt"));
  using V = std::vector<Text>;
  EXPECT_EQ(All(At("d\\*.rar"), 0, 1), V{"a.rar"});
  EXPECT_EQ(All(At("d\\*.*"), 0, 1), (V{".dotted", ".lirvo-77-1.tmp", "a.rar", "noext", "ro.txt"}));
  EXPECT_EQ(All(At("d\\*"), 0x10, 0), (V{".", "..", "sub"}));
  EXPECT_EQ(All(At("d\\*"), 0x02, 0), V{".lirvo-77-1.tmp"});
  EXPECT_EQ(All(At("d\\*"), 0x01, 0), V{"ro.txt"});
  EXPECT_EQ(All(At("d\\*"), 0x01 | 0x40, 0), V{"ro.txt"});  // bits outside 0x37 ignored
  EXPECT_EQ(All(At("d\\*"), 0x20, 0),
            (V{".dotted", ".lirvo-77-1.tmp", "a.rar", "noext", "ro.txt"}));
  // Every entry here carries an attribute bit, so filter 0 lets none pass.
  EXPECT_EQ(All(At("d\\*"), 0, 0), V{});
  EXPECT_EQ(All(At("d\\noext"), 0, 1), V{"noext"});
  EXPECT_EQ(All(At("d\\*.zip"), 0, 1), V{});
  EXPECT_EQ(All(At("nowhere\\*"), 0, 1), V{});
}

// A files-only search takes a plain entry's type from the folder listing;
// links still show what they point to, and a search continued with an
// attribute filter still sees which files are read-only.
TEST_F(FindFileTest, FilesOnlyThenAttributes) {
  fs::create_directories(Native("d/sub"));
  Put(Native("d/a.rar"), "");
  Put(Native("d/ro.txt"), "");
  MakeReadOnly(Native("d/ro.txt"));
  fs::create_directory_symlink(Native("d/sub"), Native("d/folderlink"));
  fs::create_symlink(Native("d/a.rar"), Native("d/filelink"));
  using V = std::vector<Text>;
  EXPECT_EQ(All(At("d\\*"), 0, 1), (V{"a.rar", "filelink", "ro.txt"}));
  int state = 0;
  EXPECT_EQ(FindFile(At("d\\*"), 0, 1, state), "a.rar");
  EXPECT_EQ(FindFile("", 0x01, 0, state), "ro.txt");
  EXPECT_EQ(FindFile("", 0x01, 0, state), "");
}

TEST_F(FindFileTest, NewPatternClosesTheOldSearch) {
  fs::create_directories(Native("x"));
  Put(Native("x/1"), "");
  Put(Native("x/2"), "");
  Put(Native("x/3"), "");
  int state = 0;
  EXPECT_EQ(FindFile(At("x\\*"), 0, 1, state), "1");
  int old = state;
  EXPECT_EQ(FindFile(At("x\\?"), 0, 1, state), "1");
  int fresh = state;
  EXPECT_NE(fresh, 0);
  EXPECT_EQ(FindFile("", 0, 1, old), "");  // the old search is gone
  EXPECT_EQ(FindFile("", 0, 1, state), "2");
  FindFileClose(state);
  EXPECT_EQ(FindFile("", 0, 1, state), "");
  EXPECT_EQ(state, 0);
  // A search that finds nothing leaves no state behind.
  state = 0;
  EXPECT_EQ(FindFile(At("x\\none*"), 0, 1, state), "");
  EXPECT_EQ(state, 0);
  FindFileClose(0);
}

}  // namespace
}  // namespace lirvo
