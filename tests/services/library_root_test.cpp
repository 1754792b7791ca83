// Where the library goes: the program folder for a portable copy, the user's
// data folder for an installed one, and a word for the user when it cannot be
// made or written.
#include "services/library_root.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "services/gbk.h"
#include "services/library_layout.h"
#include "support/scoped_environment.h"
#include "support/temp_folder.h"

namespace lirvo::layout {
namespace {

using namespace lirvo::literals;
using test::ScopedEnvironment;
namespace fs = std::filesystem;

TEST(LibraryRootTest, RootByCopyAndEnvironment) {
  const std::string program = "/opt/lirvo";
  EXPECT_EQ(LibraryRootFor(Copy::Installed, program, "/data", "/home/u"), "/data/lirvo");
  // XDG_DATA_HOME counts only when absolute; otherwise the default under HOME.
  EXPECT_EQ(LibraryRootFor(Copy::Installed, program, "data", "/home/u"),
            "/home/u/.local/share/lirvo");
  EXPECT_EQ(LibraryRootFor(Copy::Installed, program, "", "/home/u"), "/home/u/.local/share/lirvo");
  EXPECT_EQ(LibraryRootFor(Copy::Installed, program, nullptr, "/root"), "/root/.local/share/lirvo");
  // Without HOME the user's passwd entry names the home folder.
  EXPECT_NE(LibraryRootFor(Copy::Installed, program, nullptr, nullptr), "");
  EXPECT_EQ(LibraryRootFor(Copy::Portable, program, "/data", "/home/u"), program);
}

class ChooseLibraryRootTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetLibraryRoot({});
    SetRunsInstalledForTest(false);
  }
  test::TempFolder m_folder;  // the program folder
};

TEST_F(ChooseLibraryRootTest, InstalledCopyMakesThePrivateDataFolderWithItsParents) {
  const std::string data = m_folder.NativePath() + "/家/数据";
  ScopedEnvironment xdg("XDG_DATA_HOME", data);
  EXPECT_EQ(ChooseLibraryRoot(), "");
  EXPECT_TRUE(RunsInstalled());
  EXPECT_EQ(LibraryRoot(), Utf8ToGbk(data + "/lirvo"));
  EXPECT_EQ(NovelIndexPath(), Utf8ToGbk(data + "/lirvo") + "\\小说\\ini\\小说.ini"_gbk);
  struct stat info {};
  ASSERT_EQ(::stat((data + "/lirvo").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  // An existing folder is taken as it is.
  EXPECT_EQ(ChooseLibraryRoot(), "");
}

TEST_F(ChooseLibraryRootTest, MarkerKeepsTheLibraryInTheProgramFolder) {
  std::ofstream(m_folder.NativePath() + "/" + kPortableMarker) << "\n";
  ScopedEnvironment xdg("XDG_DATA_HOME", m_folder.NativePath() + "/data");
  EXPECT_EQ(ChooseLibraryRoot(), "");
  EXPECT_FALSE(RunsInstalled());
  EXPECT_EQ(LibraryRoot(), m_folder.Path());
  EXPECT_FALSE(fs::exists(m_folder.NativePath() + "/data"));
}

TEST_F(ChooseLibraryRootTest, RootThatCannotServeIsReportedAndNotTaken) {
  std::ofstream(m_folder.NativePath() + "/file") << "x";
  {
    // A file where a folder must go: even root cannot make it.
    ScopedEnvironment xdg("XDG_DATA_HOME", m_folder.NativePath() + "/file/data");
    const Text problem = ChooseLibraryRoot();
    EXPECT_EQ(problem.rfind("无法建立书库文件夹："_gbk + Utf8ToGbk(m_folder.NativePath()), 0), 0u)
        << GbkToUtf8(problem);
  }
  {
    // A backslash is a separator in the library's paths.
    ScopedEnvironment xdg("XDG_DATA_HOME", m_folder.NativePath() + "/a\\b");
    EXPECT_EQ(ChooseLibraryRoot().rfind("书库文件夹的路径含有本程序不能处理的字符"_gbk, 0), 0u);
    EXPECT_FALSE(fs::exists(m_folder.NativePath() + "/a\\b"));
  }
  EXPECT_EQ(LibraryRoot(), m_folder.Path());
}

}  // namespace
}  // namespace lirvo::layout
