#include "support/temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <gtest/gtest.h>

#include "services/files.h"
#include "services/gbk.h"

namespace lirvo::test {
namespace {

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

// Gives every entry write permission again, so that files a test made
// read-only do not stop the removal.
void MakeWritable(const std::filesystem::path& root) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
}

}  // namespace

TempFolder::TempFolder() {
  m_previousFolder = ProgramFolder();
  m_previousDirectory = CurrentDirectory();
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/lirvo-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a temporary folder from " << pattern;
    return;
  }
  m_native = pattern;
  m_path = Utf8ToGbk(m_native);
  SetProgramFolderForTest(m_path);
}

TempFolder::~TempFolder() {
  SetProgramFolderForTest(m_previousFolder);
  if (!m_previousDirectory.empty() && ::chdir(m_previousDirectory.c_str()) != 0) {
    // Nothing to restore to; the next test sets its own folder.
  }
  if (m_native.empty()) return;
  MakeWritable(m_native);
  std::error_code ec;
  std::filesystem::remove_all(m_native, ec);
}

}  // namespace lirvo::test
